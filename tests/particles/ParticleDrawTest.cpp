// Particles drawn for real into a 640x480 window and read back pixel by pixel.
// With identity projection and modelview, world x and y are the screen's
// normalised coordinates, so a particle's square lands on known pixels.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <vector>

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"
#include "platform/Platform.h"

using Rgb = std::array<int, 3>;
const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255}, black{0, 0, 0};

class ParticleDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, setupLL("particle drawing", LL_DOUBLEBUFFER | LL_DEPTH, 0, 0, 640, 480));
        // 2x2 texels, nearest: red and green on the row t = 0, blue and white on t = 1.
        const unsigned char quadrantTexels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        quadrants = makeTexture(quadrantTexels);
        plain = makeTexture(std::vector<unsigned char>(16, 255).data());
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override { shutdownLL(); }
    static GLuint makeTexture(const unsigned char* texels)
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        return name;
    }
    // A system with no emission of its own, attached to the manager (so drawn
    // before those attached earlier).
    QParticleSystem& addSystem(GLuint texture, float size)
    {
        const Vec3 at{0, 0, 0};
        const Color4 c{1, 1, 1, 1};
        systems.emplace_back(&at, 0.0f, texture, &c, &c, size, 100000, false, 0);
        manager.Add(&systems.back());
        return systems.back();
    }
    // One batch of `color` at the head of the system's list, a particle at each position.
    void addBatch(QParticleSystem& system, Color4 color, std::vector<Vec3> positions)
    {
        QParticleBatch* batch = manager.AllocBatch();
        *batch = QParticleBatch{};
        batch->color = color;
        batch->lifeLeft = 100000;
        QParticle* p = batch->particles = manager.AllocParticles(static_cast<uint16_t>(positions.size()));
        for (const Vec3& at : positions) {
            p->position = at;
            p = p->next;
        }
        batch->next = system.batches;
        system.batches = batch;
    }
    std::vector<unsigned char> readFrame()
    {
        std::vector<unsigned char> rgba(640 * 480 * 4);
        glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }
    static Rgb at(const std::vector<unsigned char>& frame, int x, int y)
    {
        const unsigned char* p = &frame[4 * (y * 640 + x)];
        return Rgb{p[0], p[1], p[2]};
    }

    QParticleManager manager{64, 16, true};
    std::deque<QParticleSystem> systems;  // destroyed first: they give their nodes back to the manager
    GLuint quadrants = 0, plain = 0;
};

TEST_F(ParticleDraw, SquareCoversExactlyItsPixelsWithTheTextureFacingTheViewer)
{
    const struct {
        const char* what;
        float x, y, size, turnX, turnY;
        int left, right, bottom, top;  // inclusive pixel range the square covers
        Rgb corners[4];                // bottom-left, bottom-right, top-left, top-right
    } cases[] = {
        // 0.02 of the half-width is 6.4 pixels, of the half-height 4.8: 12 by 10 pixels.
        {"identity view: upright", 0.5f, -0.25f, 0.02f, 0, 0, 474, 485, 175, 184, {red, green, blue, white}},
        {"negative size: turned halfway", 0, 0, -0.02f, 0, 0, 314, 325, 235, 244, {white, blue, green, red}},
        {"turned camera: still upright", 0, 0, 0.02f, 30, 45, 314, 325, 235, 244, {red, green, blue, white}},
    };
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        QMatrix view;
        view.RotateX(c.turnX);
        view.RotateY(c.turnY);
        glLoadMatrixf(view.GetData());
        QParticleSystem& system = addSystem(quadrants, c.size);
        addBatch(system, Color4{1, 1, 1, 1}, {Vec3{c.x, c.y, 0}});
        manager.DrawAll(view);
        manager.Remove(&system);
        const std::vector<unsigned char> frame = readFrame();
        int wrong = 0, first = -1;
        for (int i = 0; i < 640 * 480; ++i) {
            const int x = i % 640, y = i / 640;
            const bool in = x >= c.left && x <= c.right && y >= c.bottom && y <= c.top;
            const int corner = (2 * y > c.bottom + c.top ? 2 : 0) + (2 * x > c.left + c.right ? 1 : 0);
            if (at(frame, x, y) != (in ? c.corners[corner] : black) && wrong++ == 0)
                first = i;
        }
        EXPECT_EQ(0, wrong) << c.what << ": wrong pixels, the first at (" << first % 640 << ", " << first / 640 << ")";
    }
}

TEST_F(ParticleDraw, BatchesAddTheirColourTimesAlphaOntoTheFrame)
{
    glClearColor(0.2f, 0.2f, 0.2f, 1);  // 51 per channel
    glClear(GL_COLOR_BUFFER_BIT);
    const std::vector<unsigned char> before = readFrame();
    QParticleSystem& system = addSystem(plain, 0.1f);
    addBatch(system, Color4{1, 1, 1, 0}, {Vec3{0, 0, 0}, Vec3{0.4f, 0.1f, 0}});
    addBatch(addSystem(quadrants, 0), Color4{1, 1, 1, 1}, {Vec3{0, 0, 0}});
    manager.DrawAll(QMatrix());
    EXPECT_TRUE(before == readFrame()) << "an alpha-0 batch or a size-0 system changed the picture";

    addBatch(system, Color4{0.25f, 0.5f, 0, 1}, {Vec3{0, 0, 0}, Vec3{-0.5f, 0.5f, 0}});
    addBatch(system, Color4{0.5f, 0.25f, 0, 1}, {Vec3{0, 0, 0}});
    addBatch(system, Color4{2, 0, 0, 1}, {Vec3{0.5f, 0.5f, 0}});       // clamped by GL
    addBatch(system, Color4{1, 1, 1, 0.5f}, {Vec3{-0.5f, -0.5f, 0}});  // alpha scales what is added
    manager.DrawAll(QMatrix());
    const std::vector<unsigned char> frame = readFrame();
    const int probes[][5] = {{320, 240, 51 + 64 + 128, 51 + 128 + 64, 51},
                             {160, 360, 51 + 64, 51 + 128, 51},
                             {480, 360, 255, 51, 51},
                             {160, 120, 51 + 128, 51 + 128, 51 + 128},
                             {600, 20, 51, 51, 51}};
    for (const auto& p : probes) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(p[2 + i], at(frame, p[0], p[1])[i], 2) << "at " << p[0] << "," << p[1] << " channel " << i;
        }
    }
}

TEST_F(ParticleDraw, StateAfterDrawAll)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    addSystem(plain, 0.1f);  // attached first, drawn last: its texture is bound though it has no batch
    QParticleSystem& older = addSystem(quadrants, 0.02f);
    addBatch(older, Color4{0.1f, 0.2f, 0.3f, 0.4f}, {Vec3{0, 0, -0.5f}});  // the last batch drawn
    addBatch(older, Color4{0.9f, 0.9f, 0.9f, 0.9f}, {Vec3{0, 0, -0.5f}});
    addBatch(addSystem(plain, 0.02f), Color4{0.5f, 0.5f, 0.5f, 0.5f}, {Vec3{0, 0, -0.5f}});
    manager.DrawAll(QMatrix());

    const std::pair<GLenum, GLint> values[] = {{GL_LIGHTING, 0},
                                               {GL_BLEND, 0},
                                               {GL_TEXTURE_2D, 0},
                                               {GL_DEPTH_WRITEMASK, 1},
                                               {GL_BLEND_SRC, GL_SRC_ALPHA},
                                               {GL_BLEND_DST, GL_ONE},
                                               {GL_TEXTURE_BINDING_2D, GLint(plain)}};
    for (const auto& v : values) {
        GLint got = -1;
        glGetIntegerv(v.first, &got);
        EXPECT_EQ(v.second, got) << "state 0x" << std::hex << v.first;
    }
    GLfloat colour[4] = {}, depth = 0;
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ((std::vector<GLfloat>{0.1f, 0.2f, 0.3f, 0.4f}), std::vector<GLfloat>(colour, colour + 4));
    glReadPixels(320, 240, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(1.0f, depth) << "particles write no depth, so they hide nothing drawn after them";
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
