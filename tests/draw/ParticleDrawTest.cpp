// Particles drawn for real into a 640x480 window and read back pixel by pixel.
// With identity projection and modelview, world x and y are the screen's
// normalised coordinates, so a particle's square lands on known pixels.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"
#include "platform/Platform.h"

namespace {

const int width = 640, height = 480;

struct Rgb {
    int r, g, b;
};

// 2x2 texture, nearest filtering: a different colour in each corner, rows from
// t = 0 (bottom) up. Alpha 1 everywhere.
const unsigned char quadrantTexels[] = {
    255, 0, 0, 255,   0, 255, 0, 255,      // t = 0: s = 0 red,  s = 1 green
    0, 0, 255, 255,   255, 255, 255, 255,  // t = 1: s = 0 blue, s = 1 white
};
const unsigned char whiteTexels[] = {
    255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
};

class ParticleDraw : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, setupLL("particle drawing", LL_DOUBLEBUFFER | LL_DEPTH, 0, 0, width, height));
        glViewport(0, 0, width, height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_DEPTH_TEST);
        quadrants = makeTexture(quadrantTexels);
        white = makeTexture(whiteTexels);
        clear(0, 0, 0);
    }
    void TearDown() override {
        systems.clear();  // before the manager: systems give their nodes back to it
        glDeleteTextures(1, &quadrants);
        glDeleteTextures(1, &white);
        shutdownLL();
    }

    static GLuint makeTexture(const unsigned char* texels) {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    }
    void clear(float r, float g, float b) {
        glClearColor(r, g, b, 1);
        glClearDepth(1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // A system attached to the manager, with no emission of its own.
    QParticleSystem& addSystem(GLuint texture, float size) {
        const Vec3 at{0, 0, 0};
        const Color4 start{1, 1, 1, 1}, end{1, 1, 1, 1};
        systems.emplace_back(new QParticleSystem(&at, 0.0f, texture, &start, &end, size, 100000, false, 0));
        manager.Add(systems.back().get());
        return *systems.back();
    }
    // One batch of the given colour at the head of the system's list, with one
    // particle at each position.
    void addBatch(QParticleSystem& system, Color4 color, std::vector<Vec3> positions) {
        QParticleBatch* batch = manager.AllocBatch();
        ASSERT_NE(nullptr, batch);
        batch->color = color;
        batch->colorStep = Color4{0, 0, 0, 0};
        batch->lifeLeft = 100000;
        batch->particles = manager.AllocParticles(static_cast<uint16_t>(positions.size()));
        QParticle* particle = batch->particles;
        for (const Vec3& p : positions) {
            ASSERT_NE(nullptr, particle);
            particle->position = p;
            particle->velocity = Vec3{0, 0, 0};
            particle = particle->next;
        }
        ASSERT_EQ(nullptr, particle);
        batch->next = system.batches;
        system.batches = batch;
    }

    std::vector<unsigned char> readFrame() {
        std::vector<unsigned char> rgba(width * height * 4);
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }
    static Rgb at(const std::vector<unsigned char>& frame, int x, int y) {
        const unsigned char* p = &frame[4 * (y * width + x)];
        return Rgb{p[0], p[1], p[2]};
    }

    // Pixels whose centres lie inside the square of half-size `size` around
    // (cx, cy), in normalised coordinates, by the usual rasterisation rule.
    struct Span {
        int first, last;  // inclusive pixel range
    };
    static Span covered(float centre, float size, int pixels) {
        const float low = (centre - size + 1.0f) * 0.5f * pixels;
        const float high = (centre + size + 1.0f) * 0.5f * pixels;
        Span span{pixels, -1};
        for (int i = 0; i < pixels; ++i) {
            const float middle = i + 0.5f;
            if (middle >= low && middle < high) {
                span.first = i < span.first ? i : span.first;
                span.last = i;
            }
        }
        return span;
    }

    // Checks the whole frame: inside the square the texture's four quadrants
    // (`corners` as bottom-left, bottom-right, top-left, top-right), elsewhere `outside`.
    void expectSquare(const std::vector<unsigned char>& frame, float cx, float cy, float size,
                      const Rgb corners[4], Rgb outside) {
        const Span xs = covered(cx, size, width), ys = covered(cy, size, height);
        ASSERT_LE(xs.first, xs.last);
        ASSERT_LE(ys.first, ys.last);
        const int midX = (xs.first + xs.last + 1) / 2, midY = (ys.first + ys.last + 1) / 2;
        int wrong = 0;
        for (int y = 0; y < height && wrong < 5; ++y) {
            for (int x = 0; x < width && wrong < 5; ++x) {
                Rgb want = outside;
                if (x >= xs.first && x <= xs.last && y >= ys.first && y <= ys.last) {
                    want = corners[(y >= midY ? 2 : 0) + (x >= midX ? 1 : 0)];
                }
                const Rgb got = at(frame, x, y);
                if (got.r != want.r || got.g != want.g || got.b != want.b) {
                    ++wrong;
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << got.r << "," << got.g << ","
                                  << got.b << ", expected " << want.r << "," << want.g << "," << want.b;
                }
            }
        }
    }

    QParticleManager manager{64, 16, true};
    std::vector<std::unique_ptr<QParticleSystem>> systems;
    GLuint quadrants = 0, white = 0;
};

const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, whiteRgb{255, 255, 255}, black{0, 0, 0};

}  // namespace

TEST_F(ParticleDraw, IdentityViewCoversTheSquareWithTheTextureUpright) {
    QParticleSystem& system = addSystem(quadrants, 0.02f);
    addBatch(system, Color4{1, 1, 1, 1}, {Vec3{0.5f, -0.25f, 0}});
    manager.DrawAll(QMatrix());
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    // 12 x 10 pixels: 474..485 by 175..184.
    EXPECT_EQ(474, covered(0.5f, 0.02f, width).first);
    EXPECT_EQ(485, covered(0.5f, 0.02f, width).last);
    EXPECT_EQ(175, covered(-0.25f, 0.02f, height).first);
    EXPECT_EQ(184, covered(-0.25f, 0.02f, height).last);
    const Rgb upright[4] = {red, green, blue, whiteRgb};
    expectSquare(readFrame(), 0.5f, -0.25f, 0.02f, upright, black);
}

TEST_F(ParticleDraw, NegativeSizeTurnsTheTextureHalfway) {
    QParticleSystem& system = addSystem(quadrants, -0.02f);
    addBatch(system, Color4{1, 1, 1, 1}, {Vec3{0, 0, 0}});
    manager.DrawAll(QMatrix());
    const Rgb turned[4] = {whiteRgb, blue, green, red};
    expectSquare(readFrame(), 0, 0, 0.02f, turned, black);
}

TEST_F(ParticleDraw, BillboardFacesTheViewerWhateverTheRotation) {
    // The camera turned about X and Y: the square still lands upright on the same pixels.
    QMatrix view;
    view.RotateX(30.0f);
    view.RotateY(45.0f);
    view.RotateZ(10.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view.GetData());
    QParticleSystem& system = addSystem(quadrants, 0.02f);
    addBatch(system, Color4{1, 1, 1, 1}, {Vec3{0, 0, 0}});
    manager.DrawAll(view);
    const Rgb upright[4] = {red, green, blue, whiteRgb};
    expectSquare(readFrame(), 0, 0, 0.02f, upright, black);
}

TEST_F(ParticleDraw, BatchesAddOntoTheFrameInTheirOwnColour) {
    clear(0.2f, 0.2f, 0.2f);  // 51 per channel
    QParticleSystem& system = addSystem(white, 0.1f);
    addBatch(system, Color4{0.25f, 0.5f, 0.0f, 1.0f}, {Vec3{0, 0, 0}});
    addBatch(system, Color4{0.5f, 0.25f, 0.0f, 1.0f}, {Vec3{0, 0, 0}});
    addBatch(system, Color4{2.0f, 0.0f, 0.0f, 1.0f}, {Vec3{0.5f, 0.5f, 0}});   // clamped by GL
    addBatch(system, Color4{1.0f, 1.0f, 1.0f, 0.5f}, {Vec3{-0.5f, -0.5f, 0}});  // alpha scales what is added
    manager.DrawAll(QMatrix());
    const std::vector<unsigned char> frame = readFrame();
    const Rgb sum = at(frame, 320, 240);
    EXPECT_NEAR(51 + 64 + 128, sum.r, 2);
    EXPECT_NEAR(51 + 128 + 64, sum.g, 2);
    EXPECT_NEAR(51, sum.b, 1);
    const Rgb bright = at(frame, 480, 360);
    EXPECT_EQ(255, bright.r);
    EXPECT_NEAR(51, bright.g, 1);
    const Rgb half = at(frame, 160, 120);
    EXPECT_NEAR(51 + 128, half.r, 2);
    EXPECT_NEAR(51 + 128, half.b, 2);
    const Rgb background = at(frame, 600, 20);
    EXPECT_NEAR(51, background.r, 1);
}

TEST_F(ParticleDraw, AlphaZeroBatchAddsNothing) {
    clear(0.2f, 0.4f, 0.6f);
    const std::vector<unsigned char> before = readFrame();
    QParticleSystem& system = addSystem(quadrants, 0.3f);
    addBatch(system, Color4{1.0f, 1.0f, 1.0f, 0.0f}, {Vec3{0, 0, 0}, Vec3{0.4f, 0.1f, 0}});
    manager.DrawAll(QMatrix());
    EXPECT_TRUE(before == readFrame()) << "an alpha-0 batch changed the picture";
}

TEST_F(ParticleDraw, ZeroSizeAndEmptySystemsDrawNothingButBindTheirTexture) {
    QParticleSystem& empty = addSystem(white, 0.1f);
    QParticleSystem& flat = addSystem(quadrants, 0.0f);
    addBatch(flat, Color4{1, 1, 1, 1}, {Vec3{0, 0, 0}});
    (void)empty;
    manager.DrawAll(QMatrix());
    const std::vector<unsigned char> frame = readFrame();
    int lit = 0;
    for (size_t i = 0; i < frame.size(); i += 4) {
        lit += frame[i] | frame[i + 1] | frame[i + 2] ? 1 : 0;
    }
    EXPECT_EQ(0, lit);
    // The empty system was attached first, so it was drawn last.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLint>(white), bound);
}

TEST_F(ParticleDraw, StateAfterDrawAll) {
    glEnable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    QParticleSystem& older = addSystem(white, 0.02f);
    addBatch(older, Color4{0.1f, 0.2f, 0.3f, 0.4f}, {Vec3{0, 0, 0}});  // drawn last of its system
    addBatch(older, Color4{0.9f, 0.9f, 0.9f, 0.9f}, {Vec3{0, 0, 0}});
    QParticleSystem& newer = addSystem(quadrants, 0.02f);  // drawn first
    addBatch(newer, Color4{0.5f, 0.5f, 0.5f, 0.5f}, {Vec3{0, 0, 0}});
    manager.DrawAll(QMatrix());

    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLboolean depthMask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_TRUE(depthMask);
    GLint source = 0, destination = 0, bound = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(GL_SRC_ALPHA, source);
    EXPECT_EQ(GL_ONE, destination);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLint>(white), bound);
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(0.1f, colour[0]);
    EXPECT_FLOAT_EQ(0.2f, colour[1]);
    EXPECT_FLOAT_EQ(0.3f, colour[2]);
    EXPECT_FLOAT_EQ(0.4f, colour[3]);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(ParticleDraw, ParticlesHideNothingDrawnLater) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    QParticleSystem& system = addSystem(white, 0.1f);
    addBatch(system, Color4{1, 0, 0, 1}, {Vec3{0, 0, -0.5f}});  // nearer than the quad below
    manager.DrawAll(QMatrix());
    // A green quad behind the particle, drawn afterwards with the depth test on.
    glColor4f(0, 1, 0, 1);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(-0.2f, 0.2f, 0.5f);
    glVertex3f(0.2f, 0.2f, 0.5f);
    glVertex3f(-0.2f, -0.2f, 0.5f);
    glVertex3f(0.2f, -0.2f, 0.5f);
    glEnd();
    const Rgb centre = at(readFrame(), 320, 240);
    EXPECT_EQ(0, centre.r);
    EXPECT_EQ(255, centre.g);
}
