// DrawAll against the immediate-mode drawing it replaced, frame by frame and byte by
// byte: one glBegin/glEnd strip per particle, left-up, right-up, left-down,
// right-down, one glColor4fv per batch, one bind per system. Real GL under the test
// command's Xvfb, in the editor's 640x480 window, projection and camera.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ImmediateBillboards.h"
#include "ParticleTestSupport.h"
#include "math/QMatrix.h"
#include "math/QRandom.h"
#include "platform/Platform.h"
#include "resources/QTexture.h"

namespace {

enum class Texture { Editor, Dot, Quadrants };

struct Effect {
    const char* name;
    uint32_t rate;
    uint32_t lifetime;  // ms
    float velocity;
    float size;
    Color4 start, end;
    bool cone;
    Vec3 axis;
    float angle;
    Texture texture;
};

struct Case {
    const char* what;
    std::vector<Effect> effects;  // attached in order, so drawn last to first
    int updates;                  // of 16 ms each
    float turn[3];                // view turned about X, Y, Z, degrees
    float distance;               // of the effect in front of the eye
    uint32_t minLive, maxLive;    // particles the frame must hold, so the case covers what it claims
};

const Color4 white{1, 1, 1, 1}, clear{1, 1, 1, 0};
const Vec3 down{0, 0, -1};

class BillboardReference : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, setupLL("billboard reference", LL_DOUBLEBUFFER, 0, 0, 640, 480));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        editorTexture = std::make_unique<QTexture>(128, 128, 3, 8);
        ASSERT_TRUE(editorTexture->Load(QP_ASSET_DIR "/Particle.qtex", nullptr)) << QP_ASSET_DIR "/Particle.qtex";
        dot = MakeDot();
        quadrants = MakeQuadrants();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15.0);
        glMatrixMode(GL_MODELVIEW);
    }
    void TearDown() override
    {
        systems.clear();
        editorTexture.reset();
        shutdownLL();
    }

    // 32x32 RGBA soft dot with plain linear filtering.
    static GLuint MakeDot()
    {
        std::vector<unsigned char> texels(32 * 32 * 4);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const float dx = (x - 15.5f) / 16.0f, dy = (y - 15.5f) / 16.0f;
                const float glow = 1.0f - (dx * dx + dy * dy);
                unsigned char* t = &texels[4 * (32 * y + x)];
                t[0] = 255;
                t[1] = static_cast<unsigned char>(8 * x);
                t[2] = static_cast<unsigned char>(8 * y);
                t[3] = static_cast<unsigned char>(glow < 0 ? 0 : 255 * glow);
            }
        }
        return Upload(32, texels.data(), GL_LINEAR);
    }
    // 2x2 RGBA, nearest: a texture turned or mirrored shows at once.
    static GLuint MakeQuadrants()
    {
        const unsigned char texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
        return Upload(2, texels, GL_NEAREST);
    }
    static GLuint Upload(int side, const unsigned char* texels, GLint filter)
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        return name;
    }
    GLuint Name(Texture t) const
    {
        return t == Texture::Editor ? editorTexture->GetID() : t == Texture::Dot ? dot : quadrants;
    }

    void Attach(const Effect& e)
    {
        const Vec3 at{0, 0, 0};
        systems.emplace_back(&at, e.velocity, Name(e.texture), &e.start, &e.end, e.size, e.lifetime, false, e.rate);
        if (e.cone)
            systems.back().SetCone(&e.axis, e.angle);
        manager.Add(&systems.back());
    }

    std::vector<unsigned char> Frame(const QMatrix& view, float distance, bool reference)
    {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -distance);
        glMultMatrixf(view.GetData());
        glMultMatrixf(slant.GetData());
        if (reference)
            ImmediateDrawAll(manager, view);
        else
            manager.DrawAll(view);
        std::vector<unsigned char> rgba(640 * 480 * 4);
        glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }
    struct Difference {
        size_t bytes = 0;  // bytes that differ
        size_t first = 0;  // index of the first differing byte
        int expected = 0;  // the reference's value there
        int drawn = 0;     // DrawAll's value there
        size_t lit = 0;    // bytes the reference frame has above 0
    };
    // Draws the manager both ways and counts what differs.
    Difference Compare(const QMatrix& view, float distance)
    {
        const std::vector<unsigned char> expected = Frame(view, distance, true);
        const std::vector<unsigned char> got = Frame(view, distance, false);
        Difference d;
        for (size_t i = 0; i < got.size(); ++i) {
            d.lit += expected[i] != 0;
            if (got[i] == expected[i])
                continue;
            if (d.bytes++ == 0) {
                d.first = i;
                d.expected = expected[i];
                d.drawn = got[i];
            }
        }
        return d;
    }
    void CompareFrames(const QMatrix& view, float distance, const std::string& what)
    {
        const Difference d = Compare(view, distance);
        EXPECT_LT(0u, d.lit) << what << ": the reference frame is empty";
        EXPECT_EQ(0u, d.bytes) << what << ": differing bytes, the first at pixel (" << d.first / 4 % 640 << ", "
                               << d.first / 4 / 640 << ") channel " << d.first % 4 << ": " << d.expected
                               << " expected, " << d.drawn << " drawn";
    }
    // Runs the attached effects with 16 ms steps and a view turning at `speed` degrees
    // a second, and calls `check` at every `interval` ms up to `end` (the step before
    // a capture shortened to end on it).
    template <typename Check> void RunTurning(Vec3 speed, uint32_t interval, uint32_t end, Check check)
    {
        QSeedRandom(1);
        QMatrix view;
        uint32_t elapsed = 0;
        for (uint32_t capture = interval; capture <= end; capture += interval) {
            while (elapsed < capture) {
                const uint32_t ms = capture - elapsed < 16 ? capture - elapsed : 16;
                manager.UpdateAll(ms);
                const float seconds = float(ms / 1000.0);
                view.RotateX(speed.x * seconds);
                view.RotateY(speed.y * seconds);
                view.RotateZ(speed.z * seconds);
                elapsed += ms;
            }
            check(view, "at " + std::to_string(capture) + " ms");
        }
    }

    // Batches of the given particle counts, drawn in this order, in a new system with
    // the editor's texture; each batch a row of its own colour across the view.
    void AttachBatches(const std::vector<int>& counts)
    {
        const Color4 none{0, 0, 0, 0};
        const Vec3 at{0, 0, 0};
        systems.emplace_back(&at, 0.0f, editorTexture->GetID(), &none, &none, 0.05f, 100000, false, 0u);
        QParticleSystem& system = systems.back();
        manager.Add(&system);
        QParticleBatch** tail = &system.batches;
        for (size_t row = 0; row < counts.size(); ++row) {
            QParticleBatch* batch = manager.AllocBatch();
            batch->color = Color4{0.3f + 0.05f * row, 0.7f, 0.9f - 0.07f * row, 0.2f + 0.03f * row};
            batch->colorStep = Color4{};
            batch->lifeLeft = 100000;
            batch->particles = manager.AllocParticles(static_cast<uint16_t>(counts[row]));
            int i = 0;
            for (QParticle* p = batch->particles; p != nullptr; p = p->next, ++i) {
                p->position =
                    Vec3{-0.6f + 1.2f * float(i % 24) / 23.0f, 0.5f - 0.1f * float(row) - 0.02f * float(i / 24), 0.0f};
                p->velocity = Vec3{0, 0, 0};
            }
            batch->next = nullptr;
            *tail = batch;
            tail = &batch->next;
        }
    }

    QMatrix slant;  // turns the scene after the view, so the squares face away from the eye
    QParticleManager manager{0, 0, true};
    std::deque<QParticleSystem> systems;  // emptied first: they give their nodes back to the manager
    std::unique_ptr<QTexture> editorTexture;
    GLuint dot = 0, quadrants = 0;
};

// The effects the cases draw; sizes from well under a pixel to the editor's largest.
const Effect editorDefault{"editor defaults", 100, 1000, 0.2f, 0.02f, white, clear, false, down, 90, Texture::Editor};
const Effect single{"one particle", 60, 100000, 0.3f, 0.08f, white, white, false, down, 90, Texture::Quadrants};
const Effect cone{"cone", 400,  1500, 0.5f,           0.01f, {1, 0.5f, 0.1f, 1}, {0.2f, 0.1f, 1, 0.2f},
                  true,   down, 30,   Texture::Editor};
const Effect fountain{"wide cone", 2000, 1200, 0.7f, 0.0005f, white, clear, true, {0.3f, 1, 0}, 60, Texture::Dot};
const Effect storm{"high rate", 20000, 1000, 0.4f, 0.0005f,        {0.5f, 0.7f, 1, 1},
                   clear,       false, down, 90,   Texture::Editor};
const Effect bright{"over-bright", 1500,  2000, 0.3f, 0.03f,       {3, 2, 0.5f, 1.5f},
                    {0, 0, 2, 0},  false, down, 90,   Texture::Dot};
const Effect fire{"fire", 300,       800, 0.6f,           0.06f, {1, 0.6f, 0.15f, 0.15f}, {0.6f, 0.05f, 0, 0},
                  true,   {0, 1, 0}, 15,  Texture::Editor};
const Effect turned{"negative size",   300, 3000, 0.25f, -0.04f, white, {1, 0, 0, 1}, false, down, 90,
                    Texture::Quadrants};
// Colours whose interpolation rounds apart from the constant in some pixels, in
// batches of two particles (a 16 ms step at 125 a second), of three (190), and of three
// for long enough that thousands are alive at once, more than one vertex buffer of
// immediate mode holds.
const Color4 cyan{0.3f, 1, 1, 0.2f}, violet{0.9f, 0.2f, 1, 0.6f};
const Effect pairs{"pairs", 125, 1500, 0.35f, 0.02f, cyan, violet, true, down, 90, Texture::Editor};
const Effect threes{"threes", 190, 1500, 0.35f, 0.02f, cyan, violet, true, down, 90, Texture::Dot};
const Effect crowd{"crowd", 190, 30000, 0.1f, 0.01f, cyan, violet, true, down, 90, Texture::Editor};

}  // namespace

TEST_F(BillboardReference, ArraysDrawTheSameBytesAsImmediateStrips)
{
    const Case cases[] = {
        {"one particle, large, identity view", {single}, 3, {0, 0, 0}, 1.0f, 1, 1},
        {"editor defaults", {editorDefault}, 100, {0, 0, 0}, 1.0f, 90, 110},
        {"editor defaults turned and far", {editorDefault}, 100, {35, 60, 15}, 3.5f, 90, 110},
        {"cone, turned", {cone}, 120, {-20, 140, 0}, 1.0f, 500, 800},
        {"wide cone, tiny particles", {fountain}, 100, {80, 10, 45}, 1.0f, 2000, 2600},
        {"20,000 tiny particles, turned", {storm}, 80, {10, 20, 30}, 1.5f, 19000, 21000},
        {"over-bright colours", {bright}, 90, {0, 0, 90}, 1.0f, 1500, 2200},
        {"negative size", {turned}, 150, {0, 180, 0}, 1.0f, 600, 800},
        {"three systems, three textures", {editorDefault, bright, turned}, 110, {25, -50, 5}, 2.0f, 2300, 3400},
        {"thousands in batches of three", {crowd}, 1400, {15, 25, 35}, 2.5f, 3000, 5000},
        {"small batches beside large ones", {pairs, storm, threes}, 90, {5, -15, 60}, 2.0f, 19000, 23000},
    };
    for (const Case& c : cases) {
        for (const Effect& e : c.effects)
            Attach(e);
        QSeedRandom(1);
        for (int i = 0; i < c.updates; ++i)
            manager.UpdateAll(16);
        uint32_t live = 0;
        for (const QParticleSystem& s : systems)
            live += Live(s);
        EXPECT_LE(c.minLive, live) << c.what << ": live particles";
        EXPECT_GE(c.maxLive, live) << c.what << ": live particles";

        QMatrix view;
        view.RotateX(c.turn[0]);
        view.RotateY(c.turn[1]);
        view.RotateZ(c.turn[2]);
        CompareFrames(view, c.distance, c.what);
        systems.clear();
    }
}

TEST_F(BillboardReference, StateAfterwardsMatchesTheImmediateDrawing)
{
    Attach(editorDefault);
    Attach(turned);
    QSeedRandom(1);
    for (int i = 0; i < 50; ++i)
        manager.UpdateAll(16);
    QMatrix view;
    view.RotateY(20);
    GLfloat expected[4] = {}, got[4] = {};
    GLint expectedTexture = 0, gotTexture = 0;
    Frame(view, 1.0f, true);
    glGetFloatv(GL_CURRENT_COLOR, expected);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &expectedTexture);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    glBindTexture(GL_TEXTURE_2D, 0);
    Frame(view, 1.0f, false);
    glGetFloatv(GL_CURRENT_COLOR, got);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &gotTexture);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(expected[i], got[i]) << "current colour component " << i;
    EXPECT_EQ(expectedTexture, gotTexture) << "bound texture";
    GLint shading = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    EXPECT_EQ(GL_SMOOTH, shading) << "shade model";
    // A caller's flat shading stays too.
    glShadeModel(GL_FLAT);
    Frame(view, 1.0f, false);
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    EXPECT_EQ(GL_FLAT, shading) << "shade model set flat before drawing";
    glShadeModel(GL_SMOOTH);
    const GLenum arrays[] = {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_COLOR_ARRAY};
    for (GLenum array : arrays)
        EXPECT_EQ(GL_FALSE, glIsEnabled(array)) << "client array 0x" << std::hex << array << " left enabled";
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// A flame under a view turning at 20, 45 and 10 degrees a second, every 300 ms. With
// smooth shading of every batch one pixel of one frame rounds one step away.
TEST_F(BillboardReference, TurningFlameMatchesAtEveryCapture)
{
    Attach(fire);
    RunTurning(Vec3{20, 45, 10}, 300, 1800,
               [this](const QMatrix& view, const std::string& when) { CompareFrames(view, 1.5f, "flame " + when); });
}

// Particles spread flat across a view turning at 30, -60 and 15 degrees a second, four
// or so to a batch: the colour of some batches reaches the pixels interpolated, of
// others as one constant, and here the two round differently in a few pixels a frame.
TEST_F(BillboardReference, FlatSpreadUnderATurningViewMatchesAtEveryCapture)
{
    const Effect magic{"flat spread",         250,  1200, 0.35f, 0.02f,          {0.3f, 1, 1, 0.2f},
                       {0.9f, 0.2f, 1, 0.6f}, true, down, 90,    Texture::Editor};
    Attach(magic);
    RunTurning(Vec3{30, -60, 15}, 170, 2040, [this](const QMatrix& view, const std::string& when) {
        CompareFrames(view, 2.5f, "flat spread " + when);
    });
}

// Squares seen at a slant, where an interpolated colour rounds apart from the constant
// in many pixels, in systems whose batch sizes put the switch from one to the other at
// a known batch: after a batch of two particles, or after the flush that the 64th
// strip brings leaves two particles of a batch buffered (66) but not three (67). A
// batch without particles changes nothing.
TEST_F(BillboardReference, SlantedBatchesSwitchToInterpolatedColourWhereImmediateStripsDid)
{
    const std::vector<std::vector<int>> systemsOfBatches = {{3, 3, 2, 4, 4}, {66, 3, 3},   {67, 3, 3},
                                                            {1, 5},          {3, 0, 2, 4}, {2, 0, 3}};
    for (const std::vector<int>& counts : systemsOfBatches) {
        AttachBatches(counts);
        slant = QMatrix();
        slant.RotateY(55);
        slant.RotateX(-35);
        std::string what = "batches";
        for (int n : counts)
            what += " " + std::to_string(n);
        CompareFrames(QMatrix(), 1.6f, what);
        systems.clear();
    }
}
