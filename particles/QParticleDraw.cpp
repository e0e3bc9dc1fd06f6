// Drawing of the particle effect: every particle is a textured square facing the
// viewer, tinted with its batch's colour and added onto the frame (additive
// blending, no depth writes, so drawing order never matters and nothing is sorted).
// Positions are world coordinates; the caller has set the projection and modelview.
// The squares come from the manager's billboard stream, drawn from GL 1.1 client
// arrays as one stitched triangle strip per batch, at a fraction of the calls that
// one immediate-mode strip per particle takes, and with the same pixels.

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"

#include <GL/gl.h>

namespace {

// Whether each batch of a system, drawn as immediate-mode strips after one glColor
// per batch, reached the rasteriser with its colour interpolated across the square or
// as one constant colour. Mesa's immediate mode keeps a colour set between strips out
// of its vertices (a constant) while the vertices buffered since its last flush number
// more than 8 when the colour changes; from a change with 8 or fewer buffered (a
// batch of one or two particles, or one just after the flush that every 64 strips
// bring) the colour travels with each vertex for the rest of the system, and is then
// interpolated, which can round a pixel one step away from the constant. Flat shading
// of the colour array gives the constant's pixels, smooth shading the interpolated
// ones. Returns the index of the first interpolated batch of the range, or its end.
int FirstInterpolatedBatch(const std::vector<QBillboardStream::BatchRange>& batches, int first, int end)
{
    constexpr int MAX_STRIPS = 64;   // strips buffered before a flush
    constexpr int FEW_VERTICES = 8;  // buffered vertices that keep the colour per vertex
    int buffered = 0, strips = 0;
    for (int i = first; i < end; ++i) {
        if (i > first && buffered <= FEW_VERTICES)
            return i;
        buffered = 0;
        strips = 0;
        const int particles = (batches[i].count + 2) / QBillboardStream::VERTICES_PER_PARTICLE;
        for (int p = 0; p < particles; ++p) {
            buffered += 4;
            if (++strips == MAX_STRIPS)
                buffered = strips = 0;
        }
    }
    return end;
}

}  // namespace

void QParticleManager::DrawAll(const QMatrix& view)
{
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);

    drawStream.Build(*this, view);
    GLint shadeModel = GL_SMOOTH;
    glGetIntegerv(GL_SHADE_MODEL, &shadeModel);
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
    const std::vector<QBillboardStream::BatchRange>& batches = drawStream.Batches();
    for (const QBillboardStream::SystemRange& range : drawStream.Systems()) {
        glBindTexture(GL_TEXTURE_2D, range.texture);
        const int end = range.firstBatch + range.batchCount;
        const int interpolated = FirstInterpolatedBatch(batches, range.firstBatch, end);
        for (int i = range.firstBatch; i < end; ++i) {
            if (i == range.firstBatch || i == interpolated)
                glShadeModel(i < interpolated ? GL_FLAT : GL_SMOOTH);
            glDrawArrays(GL_TRIANGLE_STRIP, batches[i].first, batches[i].count);
        }
    }
    if (drawStream.VertexCount() > 0) {
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        // A colour array leaves the current colour undefined; it ends as the last
        // batch drawn, as if each batch had set it in turn.
        const QBillboardStream::BatchRange& last = batches.back();
        glColor4f(last.r, last.g, last.b, last.a);
    }

    glShadeModel(static_cast<GLenum>(shadeModel));
    // Lighting stays off: nothing in the editor turns it on.
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
