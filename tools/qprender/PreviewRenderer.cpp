#include "tools/qprender/PreviewRenderer.h"

#include <GL/gl.h>

#include "effect/EffectView.h"
#include "math/QRandom.h"

PreviewRenderer::PreviewRenderer(const EmitterSettings& s, uint32_t texture, float distance, Vec3 turn, uint32_t seed)
    : effect(s, texture),
      cameraDistance(distance),
      turnSpeed(turn),
      frustum{},
      elapsed(0),
      randomState(seed)
{}

void PreviewRenderer::Advance(uint32_t ms)
{
    QSeedRandom(randomState);
    effect.manager.UpdateAll(ms);
    randomState = QRandomState();
    TurnView(viewRotation, turnSpeed, float(ms / 1000.0));
    elapsed += ms;
}

void PreviewRenderer::SetUpEditorGL()
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    float ortho[16];  // the editor's overlay projection; previews draw no text
    CaptureProjections(frustum, ortho);
    SetEffectState();
}

void PreviewRenderer::Draw(const float background[3])
{
    glClearColor(background[0], background[1], background[2], 0.0f);
    DrawEffectView(effect.manager, viewRotation, cameraDistance, frustum);
    glMatrixMode(GL_MODELVIEW);
}
