// qprender without GL: its command line, and the simulation digest, pinned for the
// default effect and printed alike by the binary with no display or GL driver.

#include <gtest/gtest.h>

#include <cstdio>

#include "effect/EmitterSettings.h"
#include "math/QRandom.h"
#include "tests/qptool/ToolRunner.h"
#include "tools/qprender/PreviewRenderer.h"
#include "tools/qprender/RenderOptions.h"

namespace {

const std::string qprender = QPRENDER_PATH;

bool Parse(std::vector<const char*> args, RenderOptions& o, std::string& error)
{
    args.insert(args.begin(), "qprender");
    return ParseRenderOptions(int(args.size()), args.data(), o, error);
}

}  // namespace

TEST(RenderOptions, DefaultsCaptureTimesAndRefusals)
{
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"tex.qtex"}, o, error)) << error;
    EXPECT_TRUE(o.width == 640 && o.height == 480 && o.stepMs == 16 && o.outputPath == "qprender.png");
    EXPECT_EQ(std::vector<uint32_t>{1000}, o.times) << "one picture one second in";
    ASSERT_TRUE(Parse({"t", "e.QP", "--time", "500,0,250,500", "--sheet=2"}, o, error)) << error;
    EXPECT_EQ((std::vector<uint32_t>{0, 250, 500}), o.times);
    ASSERT_TRUE(Parse({"t", "--frames", "3", "--interval", "100"}, o, error)) << error;
    EXPECT_TRUE(o.times == std::vector<uint32_t>({100, 200, 300}) && o.outputPath == "frame%04d.png");

    const std::pair<std::vector<const char*>, const char*> refused[] = {
        {{}, "no TEXTURE"},
        {{"t", "--bogus"}, "unknown option --bogus"},
        {{"t", "--time", "1", "--frames", "2"}, "can't be used together"},
        {{"t", "--frames", "100000", "--interval", "1000"}, "goes past"},
        {{"t", "--frames", "2", "-o", "%s%d.png"}, "needs one %d"},
        {{"t", "--frames", "200", "--sheet", "200", "--size", "100x100"}, "at most 16384"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(Parse(c.first, o, error)) << c.second;
        EXPECT_TRUE(Has(error, c.second)) << "expected '" << c.second << "', got: " << error;
    }
    std::string name;
    ASSERT_TRUE(ExpandSeriesName("out/f%04d%%.png", 12, name));
    EXPECT_EQ("out/f0012%.png", name);
}

// The default effect in 16 ms frames: rate 100 emits 0, 1, 2, 1, 2, 2, 1, 2, 1, 2
// particles in the first updates; after 120 frames (1920 ms) 99 are alive. The hash
// pins every position and colour; it must be the same on every machine.
TEST(StateDigest, DefaultEffectOver120FramesIsPinnedAndPrintedAlikeWithoutGl)
{
    QRand();  // a renderer restarts the random sequence, whatever ran before
    PreviewRenderer preview(DefaultEmitterSettings(), 0, 1.0f, Vec3{0.0f, 0.0f, 0.0f});
    const uint64_t counts[] = {0, 1, 3, 4, 6, 8, 9, 11, 12, 14};
    std::string expected;
    for (unsigned frame = 1; frame <= 120; ++frame) {
        preview.Advance(16);
        const StateDigest d = preview.Digest();
        EXPECT_TRUE(frame > 10 || counts[frame - 1] == d.particles) << "frame " << frame;
        char line[96];
        snprintf(line, sizeof line, "frame %u time %u particles %u hash %016llx\n", frame, frame * 16,
                 unsigned(d.particles), (unsigned long long)d.hash);
        expected += line;
    }
    EXPECT_EQ(99u, preview.Digest().particles);
    EXPECT_EQ(0x302bb7cd6a4df3a3ull, preview.Digest().hash) << std::hex << preview.Digest().hash;
    const ToolResult run = RunTool(Quote(qprender) + " no-texture.qtex --state --no-image --frames 120",
                                   "env -u DISPLAY LIBGL_DRIVERS_PATH=/nonexistent");
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(expected, run.out);
}
