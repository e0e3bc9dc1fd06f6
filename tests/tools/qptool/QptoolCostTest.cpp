// `qptool cost` as a build runs it: the peak it prints is the peak a long qprender
// --state run of the same file reaches in frames of the same length, for the presets
// and for rates from 10 to 100,000 a second; the budgets' exit codes and messages;
// JSON that parses.

#include <gtest/gtest.h>

#include <cstdlib>

#include "effect/Presets.h"
#include "tests/support/ToolRunner.h"

namespace {

const std::string qptool = QPTOOL_PATH;
const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

// The number after `key` in the first line of `text` that has it, or -1.
long long NumberAfter(const std::string& text, const std::string& key)
{
    const size_t at = text.find(key);
    return at == std::string::npos ? -1 : strtoll(text.c_str() + at + key.size(), nullptr, 10);
}

// The most particles any `--state` line shows.
long long StatePeak(const std::string& state)
{
    long long peak = -1;
    for (size_t at = state.find(" particles "); at != std::string::npos; at = state.find(" particles ", at + 1))
        peak = std::max(peak, strtoll(state.c_str() + at + 11, nullptr, 10));
    return peak;
}

void ExpectPeakOfALongRun(const std::string& file, int step, const std::string& what)
{
    const std::string stepText = std::to_string(step);
    const ToolResult cost = RunTool(Quote(qptool) + " cost --step " + stepText + " " + Quote(file));
    ASSERT_EQ(0, cost.exitCode) << what << ": " << cost.err;
    const long long printed = NumberAfter(cost.out, "live particles    ");
    const ToolResult run = RunTool(Quote(qprender) + " " + Quote(texture) + " " + Quote(file) + " --step " + stepText +
                                   " --state --no-image --time 12000");
    ASSERT_EQ(0, run.exitCode) << what << ": " << run.err;
    EXPECT_EQ(StatePeak(run.out), printed) << what << ":\n" << cost.out;
}

}  // namespace

TEST(QptoolCost, PeakIsWhatALongRunReaches)
{
    ScratchFolder dir;
    for (size_t i = 0; i < effectPresetCount; ++i) {
        const std::string file = dir.Path(std::string(effectPresets[i].name) + ".QP");
        ASSERT_EQ(0, RunTool(Quote(qptool) + " new --preset " + effectPresets[i].name + " " + Quote(file)).exitCode);
        ExpectPeakOfALongRun(file, 16, effectPresets[i].name);
    }
    const struct {
        const char* settings;
        int step;
    } cases[] = {{"emitRate=10 lifetime=1000", 16},      {"emitRate=100 lifetime=1000", 16},
                 {"emitRate=1000 lifetime=333", 16},     {"emitRate=3000 lifetime=500", 33},
                 {"emitRate=20000 lifetime=400", 10},    {"emitRate=100000 lifetime=200", 16},
                 {"emitRate=100000 lifetime=1500", 1000}};
    for (const auto& c : cases) {
        const std::string file = dir.Path("rate.QP");
        ASSERT_EQ(0, RunTool(Quote(qptool) + " new --force " + Quote(file) + " " + c.settings).exitCode);
        ExpectPeakOfALongRun(file, c.step, std::string(c.settings) + " at " + std::to_string(c.step) + " ms");
    }
}

TEST(QptoolCost, TheKnownCases)
{
    ScratchFolder dir;
    const std::string a = dir.Path("a.QP"), b = dir.Path("b.QP");
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(a)).exitCode);
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(b) + " emitRate=1000 lifetime=333").exitCode);
    const ToolResult cost = RunTool(Quote(qptool) + " cost " + Quote(a) + " " + Quote(b));
    ASSERT_EQ(0, cost.exitCode) << cost.err;
    EXPECT_EQ(a + ": in frames of 16 ms\n"
                  "  live particles    100 at most, 99 at least once settled (62 batches at most)\n"
                  "  emitted           100 per second\n"
                  "  pool memory       20000 bytes: 101 particle nodes of 32 bytes, 63 batch nodes of 56, in blocks\n"
                  "  coverage          768 pixels a particle, 76800 at the peak (640x480, distance 1)\n",
              cost.out.substr(0, cost.out.find(b)));
    EXPECT_EQ(320, NumberAfter(cost.out.substr(cost.out.find(b)), "live particles    ")) << cost.out;
}

TEST(QptoolCost, BudgetsFailTheCheckNamingTheEffectAndTheLimit)
{
    ScratchFolder dir;
    const std::string a = dir.Path("a.QP"), big = dir.Path("big.QP");
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(a)).exitCode);
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(big) + " emitRate=5000 size=0.1").exitCode);
    const struct {
        std::string options;
        int exitCode;
        std::string err;
    } cases[] = {
        {"--max-particles 100 " + Quote(a), 0, ""},
        {"--max-particles 99 " + Quote(a), 1,
         "qptool: " + a + ": 100 live particles at the peak passes --max-particles 99\n"},
        {"--max-memory 20000 --max-coverage 76800 " + Quote(a), 0, ""},
        {"--max-memory 19999 " + Quote(a), 1,
         "qptool: " + a + ": 20000 bytes of pool memory passes --max-memory 19999\n"},
        {"--max-coverage 76799 " + Quote(a) + " " + Quote(big), 1,
         "qptool: " + a +
             ": 76800 pixels covered at the peak passes --max-coverage 76799\n"
             "qptool: " +
             big + ": 95232000 pixels covered at the peak passes --max-coverage 76799\n"},
        {"--max-particles 1000 " + Quote(a) + " " + Quote(big), 1,
         "qptool: " + big + ": 4960 live particles at the peak passes --max-particles 1000\n"},
        {"--step 0 " + Quote(a), 2,
         "qptool: cost: --step takes a whole number of milliseconds from 1 to 1000, not '0'\n"},
        {"--step 1001 " + Quote(a), 2,
         "qptool: cost: --step takes a whole number of milliseconds from 1 to 1000, not '1001'\n"},
        {"--max-particles -1 " + Quote(a), 2,
         "qptool: cost: --max-particles takes a whole number of 0 or more, not '-1'\n"},
        {"--max-memory", 2, "qptool: cost: --max-memory needs a value\n"},
        {"--fast " + Quote(a), 2, "qptool: cost: unknown option '--fast'\n"},
        {"", 2, "qptool: cost: needs at least one FILE\n"},
        {Quote(dir.Path("none.QP")) + " " + Quote(a), 2,
         "qptool: " + dir.Path("none.QP") + ": can't be read: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const ToolResult cost = RunTool(Quote(qptool) + " cost " + c.options);
        EXPECT_EQ(c.exitCode, cost.exitCode) << c.options << ": " << cost.err;
        EXPECT_EQ(c.err, cost.err) << c.options;
    }
}

TEST(QptoolCost, JsonParsesAndCarriesTheFigures)
{
    ScratchFolder dir;
    const std::string a = dir.Path("a \"quoted\".QP"), b = dir.Path("b.QP");
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(a)).exitCode);
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(b) + " emitRate=1000 lifetime=333").exitCode);
    const std::string script =
        "import json,sys; d=json.load(sys.stdin); "
        "print(len(d), d[0]['file'].endswith('a \"quoted\".QP'), d[0]['peakParticles'], "
        "d[1]['peakParticles'], d[1]['over'], d[0]['poolBytes'], d[0]['particlePixels'])";
    const ToolResult parsed = RunTool(Quote(qptool) + " cost --json --max-particles 300 " + Quote(a) + " " + Quote(b) +
                                      " | python3 -c " + Quote(script));
    EXPECT_EQ(0, parsed.exitCode) << parsed.err;
    EXPECT_EQ("2 True 100 320 ['--max-particles'] 20000 768\n", parsed.out);
}
