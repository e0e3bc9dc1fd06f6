// The simulation digest: pinned for the default effect, printed alike by the
// qprender binary with no GL at all, and sensitive to every particle.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "app/EmitterSettings.h"
#include "math/QRandom.h"
#include "tests/qptool/ToolRunner.h"
#include "tools/qprender/PreviewRenderer.h"

namespace {
const std::string qprender = QPRENDER_PATH;
const Vec3 still = {0.0f, 0.0f, 0.0f};
}  // namespace

// The default effect in 16 ms frames: rate 100 emits 0, 1, 2, 1, 2, 2, 1, 2, 1, 2
// particles in the first updates; after 120 frames (1920 ms) 99 are alive. The hash
// pins every position and colour; it must be the same on every machine.
TEST(StateDigest, DefaultEffectOver120FramesIsPinned)
{
    QRand();  // a renderer restarts the random sequence, whatever ran before
    PreviewRenderer preview(DefaultEmitterSettings(), 0, 1.0f, still);
    const uint64_t counts[] = {0, 1, 3, 4, 6, 8, 9, 11, 12, 14};
    for (int frame = 1; frame <= 120; ++frame) {
        preview.Advance(16);
        if (frame <= 10) {
            EXPECT_EQ(counts[frame - 1], preview.Digest().particles) << "frame " << frame;
        }
    }
    EXPECT_EQ(99u, preview.Digest().particles);
    EXPECT_EQ(0x302bb7cd6a4df3a3ull, preview.Digest().hash) << std::hex << preview.Digest().hash;

    // One ulp of the oldest particle's z, or of its batch's alpha, changes the hash.
    QParticleBatch* oldest = preview.Manager().systems->batches;
    while (oldest->next) oldest = oldest->next;
    const StateDigest before = preview.Digest();
    oldest->particles->position.z = std::nextafter(oldest->particles->position.z, 1.0f);
    EXPECT_NE(before.hash, preview.Digest().hash);
    oldest->color.a = std::nextafter(oldest->color.a, 2.0f);
    EXPECT_NE(before.hash, preview.Digest().hash);
}

TEST(StateDigest, QprenderPrintsTheSameDigestsWithoutDisplayOrGl)
{
    PreviewRenderer preview(DefaultEmitterSettings(), 0, 1.0f, still);
    std::string expected;
    for (unsigned frame = 1; frame <= 120; ++frame) {
        preview.Advance(16);
        char line[96];
        snprintf(line, sizeof line, "frame %u time %u particles %u hash %016llx\n", frame, frame * 16,
                 unsigned(preview.Digest().particles), (unsigned long long)preview.Digest().hash);
        expected += line;
    }
    const ToolResult run = RunTool(Quote(qprender) + " no-texture.qtex --state --no-image --frames 120",
                                   "env -u DISPLAY LIBGL_DRIVERS_PATH=/nonexistent");
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(expected, run.out);
}

TEST(StateDigest, ACaptureBetweenStepsShortensOnlyTheFrameBeforeIt)
{
    const ToolResult run = RunTool(Quote(qprender) + " t.qtex --state --no-image --frames 3 --interval 40");
    ASSERT_EQ(0, run.exitCode) << run.err;
    std::string times;
    for (size_t at = run.out.find(" time "); at != std::string::npos; at = run.out.find(" time ", at + 1))
        times += run.out.substr(at + 6, run.out.find(' ', at + 6) - at - 6) + ",";
    EXPECT_EQ("16,32,40,56,72,80,96,112,120,", times);

    ScratchDir dir;
    WriteBytes(dir.Path("bad.QP"), {'Q', 'P', 'A', 'R', 'T'});
    const ToolResult bad = RunTool(Quote(qprender) + " t.qtex " + Quote(dir.Path("bad.QP")) + " --state --no-image");
    EXPECT_EQ(1, bad.exitCode);
    EXPECT_EQ("", bad.out) << "a refused effect file stops the run";
    EXPECT_NE(std::string::npos, bad.err.find("bad.QP: short file: 5 bytes")) << bad.err;
}
