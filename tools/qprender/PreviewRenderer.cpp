#include "tools/qprender/PreviewRenderer.h"

#include "effect/EffectView.h"
#include "math/QRandom.h"

PreviewRenderer::PreviewRenderer(const EmitterSettings& s, uint32_t texture, float distance, Vec3 turn, uint32_t seed)
    : effect(s, texture),
      cameraDistance(distance),
      aim{0.0f, 0.0f, 0.0f},
      turnSpeed(turn),
      elapsed(0),
      randomState(seed)
{}

void PreviewRenderer::Advance(uint32_t ms)
{
    QSeedRandom(randomState);
    effect.manager.UpdateAll(ms);
    randomState = QRandomState();
    EffectView::Turn(viewRotation, turnSpeed, float(ms / 1000.0));
    elapsed += ms;
}

void PreviewRenderer::SetUpEditorGL()
{
    view.SetUp();
}

void PreviewRenderer::Aim(const Vec3& point, float distance)
{
    aim = point;
    cameraDistance = distance;
}

void PreviewRenderer::Draw(const float background[3])
{
    view.Draw(effect.manager, viewRotation, cameraDistance, background, aim);
}
