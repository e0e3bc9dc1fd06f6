#pragma once
// The billboards of every particle of a manager as one interleaved vertex stream, free
// of any graphics API: each renderer (GL client arrays, WebGL) draws the same vertices.
// Per attached system, in list order, one triangle strip: its batches newest first,
// each batch's particles in chain order, every particle's four corners written as
// v0 v0 v1 v2 v3 v3, the doubled corners stitching it to its neighbours with triangles
// of no area. A system's range leaves out its first and last vertex, so each particle
// starts at an even vertex of the strip and keeps the winding of a strip of its own.
// All four corners of a particle carry its batch's colour, so a renderer may shade
// flat; each batch also has its own range of the strip with its colour, for a renderer
// that sets one colour per batch. The stream owns its buffers; they grow only when a
// frame has more particles or batches than any before.

#include <vector>

class QMatrix;
class QParticleManager;

// One corner: position in world units, texture coordinate, the batch's colour.
struct QBillboardVertex {
    float x, y, z;
    float s, t;
    float r, g, b, a;
};
static_assert(sizeof(QBillboardVertex) == 36, "interleaved vertices are nine packed floats");

class QBillboardStream {
public:
    static constexpr int VERTICES_PER_PARTICLE = 6;  // v0 v0 v1 v2 v3 v3

    // A run of the stream drawn with one texture: one attached system.
    struct SystemRange {
        unsigned texture;  // the system's GL texture name
        int first;         // first vertex of the system's strip: its first particle's second vertex
        int count;         // vertices of the strip, 6 per particle less 2; 0 for a system without particles
        int firstBatch;    // index of the system's first batch in Batches()
        int batchCount;    // batches of the system that hold particles
    };

    // A run of a system's strip holding one batch's particles, drawn in one colour.
    // Like a system's range it leaves out the doubled first and last vertex, so it is
    // a strip of its own whose particles start at even vertices.
    struct BatchRange {
        float r, g, b, a;  // the batch's colour, as every vertex of the range carries it
        int first;         // first vertex: the batch's first particle's second vertex
        int count;         // vertices, 6 per particle less 2
    };

    // Rebuilds the stream from the manager's systems, with the billboard diagonals
    // taken from the view's first two rows (right + up, right - up) times each
    // system's size. Leaves the particles untouched.
    void Build(const QParticleManager& manager, const QMatrix& view);

    const QBillboardVertex* Vertices() const { return vertices.data(); }
    int VertexCount() const { return vertexCount; }
    const std::vector<SystemRange>& Systems() const { return systems; }
    const std::vector<BatchRange>& Batches() const { return batches; }

private:
    std::vector<QBillboardVertex> vertices;  // capacity kept between frames; only the first vertexCount are valid
    int vertexCount = 0;
    std::vector<SystemRange> systems;  // one per attached system, in list order
    std::vector<BatchRange> batches;   // one per batch with particles, systems and batches in drawing order
};
