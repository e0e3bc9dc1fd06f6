#include "tools/qprender/PreviewRenderer.h"

#include <GL/gl.h>

#include "effect/EffectView.h"
#include "math/QRandom.h"

namespace {
const Vec3 emitterPosition = {0.0f, 0.0f, 0.0f};
}

PreviewRenderer::PreviewRenderer(const EmitterSettings& s, uint32_t texture, float distance, Vec3 turn)
    : manager(0, 0, true),
      system(&emitterPosition, s.velocity, texture, &s.startColor, &s.endColor, s.size, uint32_t(s.lifetime), false,
             uint32_t(s.emitRate)),
      cameraDistance(distance),
      turnSpeed(turn),
      frustum{},
      elapsed(0)
{
    QSeedRandom(1);
    if (s.coneEnabled)
        system.SetCone(&s.coneDirection, s.coneAngle);
    manager.Add(&system);
}

void PreviewRenderer::Advance(uint32_t ms)
{
    manager.UpdateAll(ms);
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
    DrawEffectView(manager, viewRotation, cameraDistance, frustum);
    glMatrixMode(GL_MODELVIEW);
}
