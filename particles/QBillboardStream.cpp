#include "particles/QBillboardStream.h"

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"

#include <algorithm>

namespace {

// The four corners of a particle at p in strip order (left-up, right-up, left-down,
// right-down) with the texture upright on screen (s to the right, t upwards), the
// first and last written twice to stitch the strip.
void WriteParticle(QBillboardVertex* out, const Vec3& p, const Vec3& a, const Vec3& b, const Color4& c)
{
    const QBillboardVertex leftUp{p.x - b.x, p.y - b.y, p.z - b.z, 0.0f, 1.0f, c.r, c.g, c.b, c.a};
    const QBillboardVertex rightUp{p.x + a.x, p.y + a.y, p.z + a.z, 1.0f, 1.0f, c.r, c.g, c.b, c.a};
    const QBillboardVertex leftDown{p.x - a.x, p.y - a.y, p.z - a.z, 0.0f, 0.0f, c.r, c.g, c.b, c.a};
    const QBillboardVertex rightDown{p.x + b.x, p.y + b.y, p.z + b.z, 1.0f, 0.0f, c.r, c.g, c.b, c.a};
    out[0] = leftUp;
    out[1] = leftUp;
    out[2] = rightUp;
    out[3] = leftDown;
    out[4] = rightDown;
    out[5] = rightDown;
}

}  // namespace

void QBillboardStream::Build(const QParticleManager& manager, const QMatrix& view)
{
    // The view's first row is the world direction shown as screen right, its second
    // row the one shown as up; the square's diagonals are their sum and difference.
    const float* m = view.GetData();
    const Vec3 axisA{m[0] + m[1], m[4] + m[5], m[8] + m[9]};
    const Vec3 axisB{m[0] - m[1], m[4] - m[5], m[8] - m[9]};

    systems.clear();
    batches.clear();
    size_t used = 0;
    for (const QParticleSystem* system = manager.systems; system != nullptr; system = system->next) {
        const float size = system->size;
        const Vec3 a{axisA.x * size, axisA.y * size, axisA.z * size};
        const Vec3 b{axisB.x * size, axisB.y * size, axisB.z * size};
        const size_t first = used;
        const int firstBatch = static_cast<int>(batches.size());
        for (const QParticleBatch* batch = system->batches; batch != nullptr; batch = batch->next) {
            const size_t batchFirst = used;
            for (const QParticle* particle = batch->particles; particle != nullptr; particle = particle->next) {
                if (used + VERTICES_PER_PARTICLE > vertices.size())
                    vertices.resize(std::max(2 * vertices.size(), size_t(64) * VERTICES_PER_PARTICLE));
                WriteParticle(&vertices[used], particle->position, a, b, batch->color);
                used += VERTICES_PER_PARTICLE;
            }
            if (used > batchFirst) {
                const Color4& c = batch->color;
                batches.push_back(BatchRange{c.r, c.g, c.b, c.a, static_cast<int>(batchFirst) + 1,
                                             static_cast<int>(used - batchFirst) - 2});
            }
        }
        // The strip leaves out the system's first and last vertex, doubled only to
        // stitch: every particle then starts at an even vertex of its strip, so its two
        // triangles have the winding of a four-vertex strip of its own.
        const int count = static_cast<int>(used - first);
        systems.push_back(SystemRange{system->texture, static_cast<int>(first) + (count > 0 ? 1 : 0),
                                      count > 0 ? count - 2 : 0, firstBatch,
                                      static_cast<int>(batches.size()) - firstBatch});
    }
    vertexCount = static_cast<int>(used);
}
