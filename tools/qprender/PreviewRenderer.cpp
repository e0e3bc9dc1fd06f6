#include "tools/qprender/PreviewRenderer.h"

#include <GL/gl.h>

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
    if (s.coneEnabled) system.SetCone(&s.coneDirection, s.coneAngle);
    manager.Add(&system);
}

void PreviewRenderer::Advance(uint32_t ms)
{
    manager.UpdateAll(ms);
    const float seconds = float(ms / 1000.0);
    viewRotation.RotateX(turnSpeed.x * seconds);
    viewRotation.RotateY(turnSpeed.y * seconds);
    viewRotation.RotateZ(turnSpeed.z * seconds);
    elapsed += ms;
}

void PreviewRenderer::SetUpEditorGL()
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15.0);
    glGetFloatv(GL_PROJECTION_MATRIX, frustum);
    glMatrixMode(GL_MODELVIEW);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
}

void PreviewRenderer::Draw(const float background[3])
{
    glClearColor(background[0], background[1], background[2], 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -cameraDistance);
    glMultMatrixf(viewRotation.GetData());
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(frustum);
    manager.DrawAll(viewRotation);
    glMatrixMode(GL_MODELVIEW);
}
