#pragma once
// The particles drawn in immediate mode, as the engine drew them before its billboard
// stream: one glBegin/glEnd strip per particle (left-up, right-up, left-down,
// right-down, each after its texture coordinate), one glColor4fv per batch, one bind per
// system, under DrawAll's GL state. The reference DrawAll's pixels are checked against
// and the old path the draw benchmark times. Needs a current GL context.

#include <GL/gl.h>

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"

inline void ImmediateDrawAll(const QParticleManager& manager, const QMatrix& view)
{
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    const float* m = view.GetData();
    const Vec3 axisA{m[0] + m[1], m[4] + m[5], m[8] + m[9]};
    const Vec3 axisB{m[0] - m[1], m[4] - m[5], m[8] - m[9]};
    for (const QParticleSystem* system = manager.systems; system != nullptr; system = system->next) {
        glBindTexture(GL_TEXTURE_2D, system->texture);
        const float size = system->size;
        const Vec3 a{axisA.x * size, axisA.y * size, axisA.z * size};
        const Vec3 b{axisB.x * size, axisB.y * size, axisB.z * size};
        for (const QParticleBatch* batch = system->batches; batch != nullptr; batch = batch->next) {
            const GLfloat color[4] = {batch->color.r, batch->color.g, batch->color.b, batch->color.a};
            glColor4fv(color);
            for (const QParticle* particle = batch->particles; particle != nullptr; particle = particle->next) {
                const Vec3& p = particle->position;
                glBegin(GL_TRIANGLE_STRIP);
                glTexCoord2f(0.0f, 1.0f);
                glVertex3f(p.x - b.x, p.y - b.y, p.z - b.z);
                glTexCoord2f(1.0f, 1.0f);
                glVertex3f(p.x + a.x, p.y + a.y, p.z + a.z);
                glTexCoord2f(0.0f, 0.0f);
                glVertex3f(p.x - a.x, p.y - a.y, p.z - a.z);
                glTexCoord2f(1.0f, 0.0f);
                glVertex3f(p.x + b.x, p.y + b.y, p.z + b.z);
                glEnd();
            }
        }
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
