// Drawing of the particle effect: every particle is a textured square facing the
// viewer, tinted with its batch's colour and added onto the frame (additive
// blending, no depth writes, so drawing order never matters and nothing is sorted).
// Positions are world coordinates; the caller has set the projection and modelview.
// The squares come from the manager's billboard stream, drawn from GL 1.1 client
// arrays as one stitched triangle strip per system, at a fraction of the calls that
// one immediate-mode strip per particle takes.

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

    drawStream.Build(*this, view);
    // Every corner of a particle carries its batch's colour. Flat shading passes that
    // colour on as it is, as the immediate-mode strips' one colour per batch was;
    // smooth shading would interpolate it with perspective and could round a pixel one
    // step away.
    GLint shadeModel = GL_SMOOTH;
    glGetIntegerv(GL_SHADE_MODEL, &shadeModel);
    glShadeModel(GL_FLAT);
    const QBillboardVertex* vertices = drawStream.Vertices();
    const GLsizei stride = sizeof(QBillboardVertex);
    if (drawStream.VertexCount() > 0) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, stride, &vertices->x);
        glTexCoordPointer(2, GL_FLOAT, stride, &vertices->s);
        glColorPointer(4, GL_FLOAT, stride, &vertices->r);
    }
    for (const QBillboardStream::SystemRange& range : drawStream.Systems()) {
        glBindTexture(GL_TEXTURE_2D, range.texture);
        if (range.count > 0)
            glDrawArrays(GL_TRIANGLE_STRIP, range.first, range.count);
    }
    if (drawStream.VertexCount() > 0) {
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        // A colour array leaves the current colour undefined; it ends as the last
        // batch drawn, as if each batch had set it in turn.
        const QBillboardVertex& last = vertices[drawStream.VertexCount() - 1];
        glColor4f(last.r, last.g, last.b, last.a);
    }

    glShadeModel(static_cast<GLenum>(shadeModel));
    // Lighting stays off: nothing in the editor turns it on.
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
