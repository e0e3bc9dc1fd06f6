#include "effect/EffectView.h"

#include <GL/gl.h>

void EffectView::SetUp()
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15.0);
    glGetFloatv(GL_PROJECTION_MATRIX, frustum);
    glLoadIdentity();
    glOrtho(0, 300, 0, 300, -1, 1);
    glGetFloatv(GL_PROJECTION_MATRIX, ortho);
    glMatrixMode(GL_MODELVIEW);

    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
}

void EffectView::Turn(QMatrix& view, const Vec3& speed, float seconds)
{
    view.RotateX(speed.x * seconds);
    view.RotateY(speed.y * seconds);
    view.RotateZ(speed.z * seconds);
}

void EffectView::Draw(QParticleManager& manager, const QMatrix& view, float distance, const float background[3],
                      const Vec3& aim) const
{
    glClearColor(background[0], background[1], background[2], 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);  // no depth buffer: particles never hide one another
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -distance);
    // The effect turns about the aim point, `distance` in front of the eye.
    glMultMatrixf(view.GetData());
    // Aimed at the origin, the matrix stays exactly the editor's: no translation at all.
    if (aim.x != 0.0f || aim.y != 0.0f || aim.z != 0.0f)
        glTranslatef(-aim.x, -aim.y, -aim.z);

    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(frustum);
    manager.DrawAll(view);
}
