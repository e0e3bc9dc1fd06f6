#include "ParticleTestSupport.h"

#include "math/QMatrix.h"
#include "particles/QBillboardStream.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// A manager with systems whose batches are laid down by hand, so every corner is known.
class BillboardStreamTest : public ::testing::Test {
protected:
    QParticleSystem& addSystem(uint32_t texture, float size)
    {
        const Vec3 at{0, 0, 0};
        const Color4 c{1, 1, 1, 1};
        systems.emplace_back(&at, 0.0f, texture, &c, &c, size, 100000, false, 0);
        manager.Add(&systems.back());
        return systems.back();
    }
    // A batch of `color` at the head of the system's list, particles in the given order.
    void addBatch(QParticleSystem& system, Color4 color, const std::vector<Vec3>& positions)
    {
        QParticleBatch* batch = manager.AllocBatch();
        batch->color = color;
        batch->colorStep = Color4{};
        batch->lifeLeft = 100000;
        QParticle* p = batch->particles = manager.AllocParticles(static_cast<uint16_t>(positions.size()));
        for (const Vec3& at : positions) {
            p->position = at;
            p = p->next;
        }
        batch->next = system.batches;
        system.batches = batch;
    }

    QParticleManager manager{64, 16, true};
    std::deque<QParticleSystem> systems;  // destroyed first: they give their nodes back
    QBillboardStream stream;
};

struct Corner {
    float x, y, z, s, t;
};

void ExpectVertex(const Corner& want, const Color4& colour, const QBillboardVertex& got, const std::string& where)
{
    EXPECT_EQ(want.x, got.x) << where << " x";
    EXPECT_EQ(want.y, got.y) << where << " y";
    EXPECT_EQ(want.z, got.z) << where << " z";
    EXPECT_EQ(want.s, got.s) << where << " s";
    EXPECT_EQ(want.t, got.t) << where << " t";
    EXPECT_EQ(colour.r, got.r) << where << " r";
    EXPECT_EQ(colour.g, got.g) << where << " g";
    EXPECT_EQ(colour.b, got.b) << where << " b";
    EXPECT_EQ(colour.a, got.a) << where << " a";
}

}  // namespace

TEST_F(BillboardStreamTest, CornersFollowTheStripOrderOfEveryParticle)
{
    // Attached first, so last in the list: a system with nothing to draw.
    addSystem(9, 0.5f);
    QParticleSystem& system = addSystem(4, 0.25f);
    const Color4 older{0.1f, 0.2f, 0.3f, 0.4f}, newer{0.9f, 0.8f, 0.7f, 0.6f};
    addBatch(system, older, {Vec3{5, 6, 7}});
    addBatch(system, newer, {Vec3{1, 2, 3}, Vec3{-1, 0, 0.5f}});

    // Identity view: A = (1, 1, 0), B = (1, -1, 0), times the size 0.25.
    stream.Build(manager, QMatrix());

    ASSERT_EQ(2u, stream.Systems().size()) << "one range per attached system";
    EXPECT_EQ(4u, stream.Systems()[0].texture) << "the newest system first";
    // Six vertices for each of three particles, the strip without the first and last,
    // which only stitch: each particle starts at an even vertex of the strip.
    EXPECT_EQ(1, stream.Systems()[0].first);
    EXPECT_EQ(16, stream.Systems()[0].count);
    EXPECT_EQ(9u, stream.Systems()[1].texture);
    EXPECT_EQ(18, stream.Systems()[1].first);
    EXPECT_EQ(0, stream.Systems()[1].count) << "a system without batches draws nothing";
    ASSERT_EQ(18, stream.VertexCount());
    // Each batch is a strip of its own within its system's, in the system's order.
    EXPECT_EQ(0, stream.Systems()[0].firstBatch);
    EXPECT_EQ(2, stream.Systems()[0].batchCount);
    EXPECT_EQ(2, stream.Systems()[1].firstBatch);
    EXPECT_EQ(0, stream.Systems()[1].batchCount) << "a system without batches has no batch ranges";
    ASSERT_EQ(2u, stream.Batches().size());
    EXPECT_EQ(1, stream.Batches()[0].first);
    EXPECT_EQ(10, stream.Batches()[0].count) << "two particles, less the doubled first and last vertex";
    EXPECT_EQ(newer.a, stream.Batches()[0].a);
    EXPECT_EQ(13, stream.Batches()[1].first);
    EXPECT_EQ(4, stream.Batches()[1].count);
    EXPECT_EQ(older.r, stream.Batches()[1].r);

    // Newest batch first, its particles in chain order; each particle's four corners
    // are left-up (0,1), right-up (1,1), left-down (0,0), right-down (1,0), the first
    // and the last doubled.
    const struct {
        Vec3 p;
        Color4 colour;
    } particles[] = {{Vec3{1, 2, 3}, newer}, {Vec3{-1, 0, 0.5f}, newer}, {Vec3{5, 6, 7}, older}};
    const float h = 0.25f;
    for (int i = 0; i < 3; ++i) {
        const Vec3& p = particles[i].p;
        const Corner leftUp{p.x - h, p.y + h, p.z, 0, 1}, rightUp{p.x + h, p.y + h, p.z, 1, 1};
        const Corner leftDown{p.x - h, p.y - h, p.z, 0, 0}, rightDown{p.x + h, p.y - h, p.z, 1, 0};
        const Corner order[6] = {leftUp, leftUp, rightUp, leftDown, rightDown, rightDown};
        for (int v = 0; v < 6; ++v) {
            ExpectVertex(order[v], particles[i].colour, stream.Vertices()[6 * i + v],
                         "particle " + std::to_string(i) + " vertex " + std::to_string(v));
        }
    }
}

TEST_F(BillboardStreamTest, TurnedViewTakesTheDiagonalsFromItsFirstTwoRows)
{
    addBatch(addSystem(1, 2.0f), Color4{1, 1, 1, 1}, {Vec3{0, 0, 0}});
    QMatrix view;
    view.RotateY(90);
    view.RotateX(30);
    const float* m = view.GetData();
    stream.Build(manager, view);
    ASSERT_EQ(6, stream.VertexCount());
    // Right-up is p + 2A, A being the sum of the first two rows.
    const float a[3] = {(m[0] + m[1]) * 2.0f, (m[4] + m[5]) * 2.0f, (m[8] + m[9]) * 2.0f};
    const float b[3] = {(m[0] - m[1]) * 2.0f, (m[4] - m[5]) * 2.0f, (m[8] - m[9]) * 2.0f};
    const QBillboardVertex* v = stream.Vertices();
    const float* rightUp = &v[2].x;
    const float* leftUp = &v[0].x;
    const float* rightDown = &v[4].x;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a[i], rightUp[i]) << "right-up component " << i;
        EXPECT_EQ(-b[i], leftUp[i]) << "left-up component " << i;
        EXPECT_EQ(b[i], rightDown[i]) << "right-down component " << i;
    }
}

TEST_F(BillboardStreamTest, BufferStaysPutWhileTheCountDoesNotGrow)
{
    QParticleSystem& system = addSystem(1, 0.1f);
    std::vector<Vec3> many(500, Vec3{0, 0, 0});
    addBatch(system, Color4{1, 1, 1, 1}, many);
    stream.Build(manager, QMatrix());
    EXPECT_EQ(3000, stream.VertexCount());
    const QBillboardVertex* buffer = stream.Vertices();

    manager.Remove(&system);
    manager.Add(&system);
    addBatch(system, Color4{1, 1, 1, 1}, {Vec3{0, 0, 0}});
    for (int frame = 0; frame < 3; ++frame) {
        stream.Build(manager, QMatrix());
        EXPECT_EQ(6, stream.VertexCount()) << "frame " << frame;
        EXPECT_EQ(buffer, stream.Vertices()) << "a smaller frame reuses the buffer, frame " << frame;
    }
    manager.Remove(&system);
    stream.Build(manager, QMatrix());
    EXPECT_EQ(0, stream.VertexCount()) << "no systems";
    EXPECT_EQ(0u, stream.Systems().size()) << "no systems";
}
