// Drawing of the particle effect: every particle is a textured square facing the
// viewer, tinted with its batch's colour and added onto the frame (additive
// blending, no depth writes, so drawing order never matters and nothing is sorted).
// Positions are world coordinates; the caller has set the projection and modelview.

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"

#include <GL/gl.h>

void QParticleManager::DrawAll(const QMatrix& view)
{
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);

    // The view's first row is the world direction shown as screen right, its second
    // row the one shown as up; the square's diagonals are their sum and difference.
    const float* m = view.GetData();
    BillboardAxes axes;
    axes.a = Vec3{m[0] + m[1], m[4] + m[5], m[8] + m[9]};
    axes.b = Vec3{m[0] - m[1], m[4] - m[5], m[8] - m[9]};

    for (QParticleSystem* system = systems; system != nullptr; system = system->next)
        system->Draw(axes);

    // Lighting stays off: nothing in the editor turns it on.
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

void QParticleSystem::Draw(const BillboardAxes& axes)
{
    glBindTexture(GL_TEXTURE_2D, texture);

    const Vec3 a{axes.a.x * size, axes.a.y * size, axes.a.z * size};
    const Vec3 b{axes.b.x * size, axes.b.y * size, axes.b.z * size};

    for (const QParticleBatch* batch = batches; batch != nullptr; batch = batch->next) {
        const GLfloat color[4] = {batch->color.r, batch->color.g, batch->color.b, batch->color.a};
        glColor4fv(color);
        for (const QParticle* particle = batch->particles; particle != nullptr; particle = particle->next) {
            const Vec3& p = particle->position;
            // Corners in strip order: left-up, right-up, left-down, right-down, with
            // the texture upright on screen (s to the right, t upwards).
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
