// qprender without GL: its command line, and the simulation digest, pinned for the
// default effect and printed alike by the binary with no display or GL driver.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "math/QRandom.h"
#include "tests/support/ToolRunner.h"
#include "tools/qprender/FrameFit.h"
#include "tools/qprender/FramePipeline.h"
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
    EXPECT_EQ(640u, o.width);
    EXPECT_EQ(480u, o.height);
    EXPECT_EQ(16u, o.stepMs);
    EXPECT_EQ("qprender.png", o.outputPath);
    EXPECT_EQ(std::vector<uint32_t>{1000}, o.times) << "one picture one second in";
    ASSERT_TRUE(Parse({"t", "e.QP", "--time", "500,0,250,500", "--sheet=2"}, o, error)) << error;
    EXPECT_EQ((std::vector<uint32_t>{0, 250, 500}), o.times);
    ASSERT_TRUE(Parse({"t", "--frames", "3", "--interval", "100"}, o, error)) << error;
    EXPECT_EQ((std::vector<uint32_t>{100, 200, 300}), o.times);
    EXPECT_EQ("frame%04d.png", o.outputPath);
    ASSERT_TRUE(Parse({"t", "--seed", "007", "--distance", " 2"}, o, error)) << error;
    EXPECT_EQ(7u, o.seed) << "leading zeros are digits like any other";
    EXPECT_EQ(2.0f, o.cameraDistance) << "a distance may start with a blank";

    const std::pair<std::vector<const char*>, const char*> refused[] = {
        {{}, "no TEXTURE"},
        {{"t", "--bogus"}, "unknown option --bogus"},
        {{"t", "--time", "1", "--frames", "2"}, "can't be used together"},
        {{"t", "--frames", "100000", "--interval", "1000"}, "goes past"},
        {{"t", "--frames", "2", "-o", "%s%d.png"}, "needs one %d"},
        {{"t", "--frames", "200", "--sheet", "200", "--size", "100x100"}, "at most 16384"},
        {{"t", "--frames", "2", "--sheet", "2", "-o", "a.gif"}, "--sheet makes one PNG"},
        {{"t", "--quality", "50", "-o", "a.gif"}, "--quality goes with a .webp"},
        {{"t", "--quality", "101", "-o", "a.webp"}, "bad --quality '101'"},
        {{"t", "--seed", "4294967296"}, "bad --seed"},
        {{"t", "--seed", "+5"}, "bad --seed '+5'"},
        {{"t", "--step", "-0"}, "bad --step '-0'"},
        {{"t", "--size", "6000x10", "--against", "b.QP", "-o", "a.webp"}, "18000x10 pixels; at most 16383"},
        {{"t", "--against", "b.QP", "--state"}, "--state prints one effect's"},
        {{"t", "-o", "out.jpg"}, "'out.jpg' must end in .png, .gif or .webp"},
        {{"t", "-o", "out.tiff"}, "'out.tiff' must end in .png, .gif or .webp"},
        {{"t", "-o", "x.d/out"}, "'x.d/out' must end in .png, .gif or .webp"},
        {{"t", "--fit", "--distance", "2"}, "--fit chooses --look-at and --distance"},
        {{"t", "--look-at", "0,0,0", "--fit"}, "--fit chooses --look-at and --distance"},
        {{"t", "--look-at", "1,2"}, "bad --look-at '1,2': expected a point X,Y,Z"},
        {{"t", "--font", "F.QF"}, "--font goes with --against"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(Parse(c.first, o, error)) << c.second;
        EXPECT_TRUE(Has(error, c.second)) << "expected '" << c.second << "', got: " << error;
    }
    const std::pair<std::vector<const char*>, RenderOutput> outputs[] = {
        {{"t"}, RenderOutput::Picture},
        {{"t", "--frames", "2"}, RenderOutput::Series},
        {{"t", "--frames", "2", "--sheet", "1"}, RenderOutput::Sheet},
        {{"t", "-o", "x.d/A.GIF"}, RenderOutput::Gif},
        {{"t", "--frames", "2", "-o", "f%d.webp"}, RenderOutput::Webp},
    };
    for (const auto& c : outputs) {
        ASSERT_TRUE(Parse(c.first, o, error)) << error;
        EXPECT_EQ(int(c.second), int(o.output)) << c.first.back();
    }
    ASSERT_TRUE(Parse({"t", "--look-at", "0.5,-1,2e-1"}, o, error)) << error;
    EXPECT_EQ(0.5f, o.lookAt.x);
    EXPECT_EQ(-1.0f, o.lookAt.y);
    EXPECT_EQ(0.2f, o.lookAt.z);
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
        if (frame <= 10) {
            EXPECT_EQ(counts[frame - 1], d.particles) << "frame " << frame;
        }
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

// Seed 1 is the default sequence; another seed emits other particles; two
// renderers stepped in turn each draw as if alone.
TEST(StateDigest, SeedChoosesTheSequenceAndRenderersSteppedInTurnKeepTheirOwn)
{
    const std::string states = Quote(qprender) + " t.qtex --state --no-image --frames 30";
    const ToolResult byDefault = RunTool(states), one = RunTool(states + " --seed 1"),
                     two = RunTool(states + " --seed 2");
    ASSERT_EQ(0, two.exitCode) << two.err;
    EXPECT_EQ(byDefault.out, one.out);
    EXPECT_NE(byDefault.out.substr(byDefault.out.size() - 40), two.out.substr(two.out.size() - 40));

    PreviewRenderer alone(DefaultEmitterSettings(), 0, 1.0f, Vec3{0.0f, 0.0f, 0.0f}, 7);
    for (int i = 0; i < 30; ++i)
        alone.Advance(16);
    PreviewRenderer a(DefaultEmitterSettings(), 0, 1.0f, Vec3{0.0f, 0.0f, 0.0f}, 7);
    PreviewRenderer b(DefaultEmitterSettings(), 0, 1.0f, Vec3{0.0f, 0.0f, 0.0f}, 7);
    for (int i = 0; i < 30; ++i) {
        a.Advance(16);
        b.Advance(16);
    }
    EXPECT_EQ(alone.Digest().hash, a.Digest().hash);
    EXPECT_EQ(alone.Digest().hash, b.Digest().hash);
}

// Frames encoded out of order (later ones finish first) are committed in order;
// the first failure in order ends the run, whichever worker met it first.
TEST(FramePipeline, CommitsInOrderAndStopsAtTheFirstFailureInOrder)
{
    struct Sink : FrameSink {
        int failEncode, failCommit;
        std::vector<uint32_t> committed;
        bool Encode(PipelineFrame& f, std::string& error) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(f.index % 3 == 0 ? 6 : 1));
            error = "encode " + std::to_string(f.index);
            return int(f.index) != failEncode;
        }
        bool Commit(PipelineFrame& f, std::string& error) override
        {
            committed.push_back(f.index);
            error = "commit " + std::to_string(f.index);
            return int(f.index) != failCommit;
        }
    };
    struct Case {
        unsigned workers;
        int failEncode, failCommit;
        const char* error;  // "" for success
        uint32_t committed;
    } cases[] = {{0, -1, -1, "", 20},        {3, -1, -1, "", 20},        {3, 9, 12, "encode 9", 9},
                 {3, 12, 9, "commit 9", 10}, {1, 12, 9, "commit 9", 10}, {0, 12, 9, "commit 9", 10}};
    for (const Case& c : cases) {
        Sink sink;
        sink.failEncode = c.failEncode, sink.failCommit = c.failCommit;
        FramePipeline pipeline(sink, c.workers, 4);
        for (uint32_t i = 0; i < 20; ++i) {
            std::unique_ptr<PipelineFrame> frame(new PipelineFrame);
            frame->index = i;
            if (!pipeline.Submit(std::move(frame)))
                break;
        }
        std::string error;
        EXPECT_EQ(*c.error == 0, pipeline.Finish(error)) << c.workers << " workers";
        EXPECT_EQ(c.error, error) << c.workers << " workers";
        ASSERT_EQ(c.committed, sink.committed.size()) << c.workers << " workers, fail at " << c.error;
        for (uint32_t i = 0; i < c.committed; ++i)
            EXPECT_EQ(i, sink.committed[i]) << c.workers << " workers";
    }
}

// A name that isn't a picture or an animation is refused before anything runs, with
// the trouble code in a comparison.
TEST(QprenderTruth, OutputNamesOtherThanPngGifWebpAreRefused)
{
    ScratchFolder dir;
    const ToolResult plain = RunTool(Quote(qprender) + " t.qtex -o " + Quote(dir.Path("out.jpg")));
    EXPECT_EQ(1, plain.exitCode) << plain.err;
    EXPECT_TRUE(Has(plain.err, "must end in .png, .gif or .webp")) << plain.err;
    const ToolResult comparing = RunTool(Quote(qprender) + " t.qtex a.QP --against b.QP -o " + Quote(dir.Path("out")));
    EXPECT_EQ(2, comparing.exitCode) << comparing.err;
    EXPECT_TRUE(Has(comparing.err, "must end in .png, .gif or .webp")) << comparing.err;
    EXPECT_EQ(-1, access(dir.Path("out.jpg").c_str(), F_OK)) << "nothing is written";
}

// The report names the settings that differ, as `name: A -> B` lines, and says
// "same particles" (not "same") when only a drawn setting differs.
TEST(QprenderTruth, ComparisonReportNamesTheSettingsThatDiffer)
{
    ScratchFolder dir;
    EmitterSettings a = DefaultEmitterSettings(), bigger = a, faster = a;
    bigger.size = 0.04f;
    faster.velocity = 0.3f;
    ASSERT_TRUE(WriteEffectFile(dir.Path("a.QP").c_str(), a));
    ASSERT_TRUE(WriteEffectFile(dir.Path("big.QP").c_str(), bigger));
    ASSERT_TRUE(WriteEffectFile(dir.Path("fast.QP").c_str(), faster));
    const std::string run =
        Quote(qprender) + " t.qtex " + Quote(dir.Path("a.QP")) + " --no-image --frames 5 --against ";
    const ToolResult same = RunTool(run + Quote(dir.Path("a.QP")));
    EXPECT_EQ(0, same.exitCode) << same.err;
    EXPECT_EQ("simulations: same over 5 frames\n", same.out);
    const ToolResult size = RunTool(run + Quote(dir.Path("big.QP")));
    EXPECT_EQ(0, size.exitCode) << "the particles are the same: " << size.err;
    EXPECT_EQ("simulations: same particles over 5 frames; settings differ: size\n  size: 0.02 -> 0.04\n", size.out);
    const ToolResult velocity = RunTool(run + Quote(dir.Path("fast.QP")));
    EXPECT_EQ(1, velocity.exitCode) << velocity.err;
    EXPECT_EQ("simulations: differ from frame 2 (32 ms) on; settings differ: velocity\n  velocity: 0.2 -> 0.3\n",
              velocity.out);
}

// Over every capture, every particle's billboard lies inside the projection from
// the chosen aim and distance, and the fit is tight: some particle comes near the
// edge (unless the distance is the nearest allowed). With and without a turn.
TEST(FrameFit, EveryParticleFallsInsideTheFrameAndOneNearItsEdge)
{
    EmitterSettings rising = DefaultEmitterSettings();
    rising.coneEnabled = true;
    rising.coneDirection = {0.0f, 1.0f, 0.0f};
    rising.coneAngle = 20.0f;
    rising.velocity = 1.5f;
    const Vec3 turns[] = {{0.0f, 0.0f, 0.0f}, {30.0f, 45.0f, 0.0f}};
    const uint32_t times[] = {300, 1000, 2000};
    for (const Vec3& turn : turns) {
        FrameFit fit;
        {
            PreviewRenderer run(rising, 0, 1.0f, turn);
            for (uint32_t t : times) {
                while (run.Elapsed() < t)
                    run.Advance(16);
                fit.Add(run.Particles(), run.ViewTurn(), rising.size);
            }
        }
        Vec3 aim;
        float distance = 0.0f;
        ASSERT_TRUE(fit.Choose(1.0f, aim, distance));
        EXPECT_LT(0.4f, aim.y) << "a rising effect's centre is above the emitter, turn " << turn.x;
        EXPECT_LE(1.0f, distance);
        EXPECT_GE(10.0f, distance);
        double widest = 0.0;  // the largest |x| or |y| over depth, relative to the frame's edge
        PreviewRenderer run(rising, 0, 1.0f, turn);
        for (uint32_t t : times) {
            while (run.Elapsed() < t)
                run.Advance(16);
            const float* m = run.ViewTurn().GetData();
            for (const QParticleSystem* s = run.Particles().systems; s; s = s->next)
                for (const QParticleBatch* b = s->batches; b; b = b->next)
                    for (const QParticle* p = b->particles; p; p = p->next) {
                        const float v[3] = {p->position.x - aim.x, p->position.y - aim.y, p->position.z - aim.z};
                        double q[3];
                        for (int r = 0; r < 3; ++r)
                            q[r] = m[r] * double(v[0]) + m[4 + r] * double(v[1]) + m[8 + r] * double(v[2]);
                        const double depth = distance - q[2];
                        ASSERT_LT(0.5, depth) << "in front of the near plane at " << t << " ms";
                        widest = std::max(widest, (std::fabs(q[0]) + rising.size) / (0.4 * depth));
                        widest = std::max(widest, (std::fabs(q[1]) + rising.size) / (0.4 * depth));
                    }
        }
        EXPECT_GE(1.0, widest) << "a billboard crosses the frame's edge, turn " << turn.x;
        if (distance > 1.0f) {
            EXPECT_LT(0.7, widest) << "the fit leaves too much room, turn " << turn.x;
        }
    }
    FrameFit empty;
    Vec3 aim{1.0f, 1.0f, 1.0f};
    float distance = 0.0f;
    EXPECT_FALSE(empty.Choose(2.5f, aim, distance));
    EXPECT_EQ(0.0f, aim.y);
    EXPECT_EQ(2.5f, distance);
}

// --fit says what it chose as options that read back to the same values.
TEST(FrameFit, PrintsOptionsThatRepeatTheShot)
{
    EXPECT_EQ("--look-at 0,0.25,-0.125 --distance 1.5", FrameFit::Options({0.0f, 0.25f, -0.125f}, 1.5f));
    EXPECT_EQ("--look-at 0,0,0 --distance 10", FrameFit::Options({-0.0f, 0.0001f, 0.0f}, 10.0f));
    const std::string states = Quote(qprender) + " t.qtex --state --no-image --frames 60";
    const ToolResult fitted = RunTool(states + " --fit", "env -u DISPLAY LIBGL_DRIVERS_PATH=/nonexistent");
    ASSERT_EQ(0, fitted.exitCode) << fitted.err;
    EXPECT_TRUE(Has(fitted.err, "qprender: --fit: --look-at ")) << fitted.err;
    EXPECT_EQ(RunTool(states).out, fitted.out) << "the real run starts the random sequence afresh";
}
