// Values the engine can't use as they stand: qptool writes them as asked and says on
// stderr what the engine does with them (dump --textconv as `#` lines), and the engine
// itself takes a negative rate as none and a negative lifetime as 0 ms.

#include <gtest/gtest.h>

#include "tests/support/ToolRunner.h"

namespace {

const std::string qptool = QPTOOL_PATH;
const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

ToolResult Qptool(const std::string& arguments)
{
    return RunTool(Quote(qptool) + " " + arguments);
}

}  // namespace

TEST(QptoolRanges, NewSetAndDumpWarnAndStillWriteAsAsked)
{
    ScratchFolder dir;
    const std::string file = dir.Path("odd.QP");
    const std::string angle =
        "coneAngle = 120 is outside 0..90; the engine spreads the particles by its tangent, "
        "which folds the cone back into 0..90 (120 spreads as 60, -10 as 10)";
    const std::pair<std::string, std::string> cases[] = {
        {"cone=on coneAngle=120", angle},
        {"cone=on coneAngle=-10", "coneAngle = -10 is outside 0..90"},
        {"cone=on coneDirection=0,0,0", "coneDirection = 0, 0, 0 is no direction; every particle stays at the emitter"},
        {"lifetime=-100",
         "lifetime = -100 is below 0; the engine gives the particles 0 ms: they die in the frame that makes them and "
         "never show"},
        {"emitRate=-5", "emitRate = -5 is below 0; the engine emits nothing"},
        {"size=-0.5", "size = -0.5 is below 0; the engine draws the particles as large as the size without its sign"},
        {"startColor=2,0,0,1", "startColor.r = 2 is outside 0..1; GL clamps the colour it draws to 0..1"},
        {"endColor.a=-0.25", "endColor.a = -0.25 is outside 0..1"},
    };
    for (const auto& c : cases) {
        const ToolResult made = Qptool("new --force " + Quote(file) + " " + c.first);
        EXPECT_EQ(0, made.exitCode) << c.first;
        EXPECT_TRUE(Has(made.err, "qptool: " + file + ": " + c.second)) << c.first << ": " << made.err;
        const ToolResult dump = Qptool("dump " + Quote(file));
        EXPECT_EQ(0, dump.exitCode) << c.first;
        EXPECT_TRUE(Has(dump.err, "qptool: " + file + ": " + c.second)) << c.first << ": " << dump.err;
        const ToolResult textconv = Qptool("dump --textconv " + Quote(file));
        EXPECT_EQ(0, textconv.exitCode) << c.first;
        EXPECT_EQ("", textconv.err) << c.first;
        EXPECT_TRUE(Has(textconv.out, "# " + c.second)) << c.first << ": " << textconv.out;
        ASSERT_EQ(0, Qptool("new --force " + Quote(file)).exitCode);
        const ToolResult set = Qptool("set " + Quote(file) + " " + c.first);
        EXPECT_EQ(0, set.exitCode) << c.first;
        EXPECT_TRUE(Has(set.err, "qptool: " + file + ": " + c.second)) << c.first << ": " << set.err;
    }
    // Written as asked: the file holds the odd values and dumps them back.
    ASSERT_EQ(0, Qptool("new --force " + Quote(file) + " emitRate=-50 cone=on coneAngle=120").exitCode);
    const ToolResult dump = Qptool("dump " + Quote(file));
    EXPECT_TRUE(Has(dump.out, "emitRate = -50\n")) << dump.out;
    EXPECT_TRUE(Has(dump.out, "coneAngle = 120\n")) << dump.out;
}

TEST(QptoolRanges, SensibleValuesAndAConeThatIsOffSayNothing)
{
    ScratchFolder dir;
    const std::string file = dir.Path("fine.QP");
    for (const char* settings : {"", "startColor=0,0,0,0 endColor=1,1,1,1 size=0 lifetime=0 emitRate=0",
                                 "cone=on coneAngle=90 coneDirection=0,0,-1 velocity=-3", "cone=on coneAngle=0"}) {
        const ToolResult made = Qptool("new --force " + Quote(file) + " " + settings);
        EXPECT_EQ(0, made.exitCode) << settings;
        EXPECT_EQ("", made.err) << settings;
        EXPECT_EQ("", Qptool("dump " + Quote(file)).err) << settings;
    }
    // The cone's axis and angle are neither stored nor used while it is off.
    ASSERT_EQ(0, Qptool("new --force " + Quote(file) + " cone=on coneAngle=120 coneDirection=0,0,0").exitCode);
    const ToolResult off = Qptool("set " + Quote(file) + " cone=off");
    EXPECT_EQ(0, off.exitCode);
    EXPECT_EQ("", off.err);
}

// The engine's side, through the real programs: a file may hold a negative rate or
// lifetime and keeps its bytes; what changes is only that it runs as none and as 0 ms.
TEST(QptoolRanges, NegativeRateAndLifetimeRunAsNoneAndAsZero)
{
    ScratchFolder dir;
    for (const char* settings : {"emitRate=-5", "lifetime=-100", "emitRate=-2147483648"}) {
        const std::string file = dir.Path("neg.QP");
        ASSERT_EQ(0, Qptool("new --force " + Quote(file) + " " + settings).exitCode);
        const ToolResult run = RunTool(Quote(qprender) + " " + Quote(texture) + " " + Quote(file) +
                                       " --state --no-image --frames 40 --interval 50");
        ASSERT_EQ(0, run.exitCode) << settings << ": " << run.err;
        size_t lines = 0;
        for (size_t at = run.out.find(" particles "); at != std::string::npos;
             at = run.out.find(" particles ", at + 1)) {
            EXPECT_EQ(0, atoi(run.out.c_str() + at + 11)) << settings << ", line " << lines;
            ++lines;
        }
        EXPECT_LT(100u, lines) << settings << ": frames simulated";
    }
}
