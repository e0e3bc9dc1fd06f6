// qprender's pictures: the default effect centred in the frame, light that adds
// up per particle and scales with alpha, background and transparency, byte-
// identical reruns on either context, and the failures it reports.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/EffectFile.h"
#include "app/EmitterSettings.h"
#include "tests/qptool/ToolRunner.h"
#include "tools/common/PngFile.h"

namespace {

const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

ToolResult Render(const std::string& arguments, const std::string& environment = "")
{
    return RunTool(Quote(qprender) + " " + Quote(texture) + " " + arguments, environment);
}

PngImage Load(const std::string& path)
{
    PngImage image;
    std::string error;
    EXPECT_TRUE(ReadPng(path, image, error)) << error;
    return image;
}

}  // namespace

TEST(QprenderImage, DefaultEffectIsCentredAndStaysInsideTheFrame)
{
    ScratchDir dir;
    ASSERT_EQ(0, Render("-o " + Quote(dir.Path("d.png"))).exitCode);
    const PngImage image = Load(dir.Path("d.png"));
    ASSERT_EQ(640u, image.width);
    ASSERT_EQ(480u, image.height);
    double sum = 0, sumX = 0, sumY = 0;
    uint32_t lit = 0, border = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.pixels[(y * image.width + x) * 3];
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << "white particles stay grey at " << x << "," << y;
            lit += p[0] > 0;
            border += p[0] > 0 && (x < 50 || x >= 590 || y < 50 || y >= 430);
            sum += p[0];
            sumX += p[0] * (x + 0.5);
            sumY += p[0] * (y + 0.5);
        }
    }
    EXPECT_GT(lit, 5000u) << "about a hundred particles are alive after a second";
    EXPECT_EQ(0u, border) << "nothing reaches the outer 50 pixels";
    EXPECT_NEAR(320.0, sumX / sum, 12.0) << "horizontal centre of the light";
    EXPECT_NEAR(240.0, sumY / sum, 12.0) << "vertical centre of the light";
}

TEST(QprenderImage, LightAddsUpPerParticleAndScalesWithAlpha)
{
    // Particles that never move, so they all cover the same pixels; with 100 ms
    // frames at 10 per second one more is alive each frame from the second on.
    ScratchDir dir;
    const auto renderStill = [&](Color4 colour, int time, const std::string& name) {
        EmitterSettings s = DefaultEmitterSettings();
        s.startColor = s.endColor = colour;
        s.velocity = 0.0f;
        s.lifetime = 100000;
        s.emitRate = 10;
        s.size = 0.1f;
        EXPECT_TRUE(WriteEffectFile(dir.Path("e.QP").c_str(), s));
        EXPECT_EQ(0, Render(Quote(dir.Path("e.QP")) + " --step 100 --size 64x48 --time " + std::to_string(time) +
                            " -o " + Quote(dir.Path(name)))
                         .exitCode);
        return Load(dir.Path(name)).pixels;
    };
    const std::vector<uint8_t> one = renderStill({0.1f, 0.1f, 0.1f, 1.0f}, 200, "one.png");
    const std::vector<uint8_t> five = renderStill({0.1f, 0.1f, 0.1f, 1.0f}, 600, "five.png");
    const std::vector<uint8_t> half = renderStill({0.2f, 0.2f, 0.2f, 0.5f}, 600, "half.png");
    ASSERT_EQ(one.size(), five.size());
    ASSERT_EQ(one.size(), half.size());
    EXPECT_GE(*std::max_element(one.begin(), one.end()), 20) << "the spot's centre is lit";
    for (size_t i = 0; i < one.size(); ++i) {
        ASSERT_NEAR(5 * one[i], five[i], 5) << "five particles on one spot, byte " << i;
        ASSERT_NEAR(five[i], half[i], 5) << "0.2 at alpha 0.5 adds as 0.1 at alpha 1, byte " << i;
    }
}

TEST(QprenderImage, LightAddsOntoTheBackgroundOrBecomesAlpha)
{
    ScratchDir dir;
    for (const char* run : {"--background 0.5,0,0.25 -o bg.png", "-o black.png", "--transparent -o clear.png"})
        ASSERT_EQ(0, Render("--size 80x60 " + std::string(run), "cd " + Quote(dir.root) + " &&").exitCode) << run;
    const PngImage bg = Load(dir.Path("bg.png")), black = Load(dir.Path("black.png"));
    const PngImage clear = Load(dir.Path("clear.png"));
    ASSERT_EQ(4, clear.components);
    for (size_t i = 0; i < size_t(80) * 60; ++i) {
        const uint8_t *b = &black.pixels[i * 3], *c = &clear.pixels[i * 4], *g = &bg.pixels[i * 3];
        ASSERT_EQ(b[0], c[3]) << "alpha is the light, pixel " << i;
        ASSERT_EQ(std::min(255, 128 + b[0]), g[0]) << "light adds onto the background, pixel " << i;
        ASSERT_EQ(std::min(255, 64 + b[2]), g[2]) << "pixel " << i;
    }
}

TEST(QprenderImage, PicturesAreByteIdenticalOnRerunsAndOnEitherContext)
{
    ScratchDir dir;
    const std::string args = "--size 80x60 --frames 12 --interval 80 --sheet 4 --turn 0,90,30";
    ASSERT_EQ(0, Render(args + " -o " + Quote(dir.Path("a.png"))).exitCode);
    ASSERT_EQ(0, Render(args + " -o " + Quote(dir.Path("b.png"))).exitCode);
    const ToolResult headless = Render(args + " --context egl -o " + Quote(dir.Path("egl.png")), "env -u DISPLAY");
    ASSERT_EQ(0, headless.exitCode) << "no X server is needed: " << headless.err;
    ASSERT_EQ(0, Render(args + " --context sdl -o " + Quote(dir.Path("sdl.png"))).exitCode);
    const std::vector<uint8_t> a = ReadBytes(dir.Path("a.png"));
    EXPECT_EQ(a, ReadBytes(dir.Path("b.png")));
    EXPECT_EQ(a, ReadBytes(dir.Path("egl.png")));
    EXPECT_EQ(a, ReadBytes(dir.Path("sdl.png")));
    EXPECT_EQ(320u, Load(dir.Path("a.png")).width);

    // A series whose capture times lie on the 16 ms grid gives the same last frame
    // as a single picture at that time.
    ASSERT_EQ(0, Render("--size 40x30 --time 0,496,992 -o " + Quote(dir.Path("f%02d.png"))).exitCode);
    ASSERT_EQ(0, Render("--size 40x30 --time 992 -o " + Quote(dir.Path("single.png"))).exitCode);
    EXPECT_EQ(ReadBytes(dir.Path("single.png")), ReadBytes(dir.Path("f03.png")));
    const PngImage first = Load(dir.Path("f01.png"));
    EXPECT_TRUE(std::all_of(first.pixels.begin(), first.pixels.end(), [](uint8_t v) { return v == 0; }))
        << "nothing is alive at time 0";
}

TEST(QprenderImage, FailuresAreReportedAndLeaveNoPicture)
{
    ScratchDir dir;
    const ToolResult noContext = Render("--context sdl -o " + Quote(dir.Path("x.png")), "env -u DISPLAY SDL_VIDEODRIVER=x11");
    EXPECT_EQ(1, noContext.exitCode);
    EXPECT_NE(std::string::npos, noContext.err.find("no OpenGL context could be made (hidden SDL window:"))
        << noContext.err;
    const ToolResult missing = RunTool(Quote(qprender) + " " + Quote(dir.Path("none.qtex")));
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.err.find("none.qtex: can't be read: No such file")) << missing.err;
    WriteBytes(dir.Path("junk.qtex"), {'Q', 'T', 'E', 'X', 9, 9});
    const ToolResult junk = RunTool(Quote(qprender) + " " + Quote(dir.Path("junk.qtex")));
    EXPECT_EQ(1, junk.exitCode);
    EXPECT_NE(std::string::npos, junk.err.find("junk.qtex: not a QTEX texture")) << junk.err;
    const ToolResult nowhere = Render("-o " + Quote(dir.Path("no/such/x.png")));
    EXPECT_EQ(1, nowhere.exitCode);
    EXPECT_NE(std::string::npos, nowhere.err.find("no/such/x.png")) << nowhere.err;
    EXPECT_EQ("junk.qtex\n", RunTool("ls -A " + Quote(dir.root)).out) << "no picture, no leftovers";
}
