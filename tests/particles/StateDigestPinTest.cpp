// The simulation pinned by its state digests: qprender --state on a few fixed effects
// must print exactly these lines (live particles and a hash of their positions and
// colours). A change in any line means the particles moved, whatever the cause: a
// compiler that fuses a*b+c into one rounding, a reordered sum, a changed draw of the
// random source. Native and web builds share the reference.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ScratchFolder.h"
#include "tests/support/ToolRunner.h"

namespace {

struct PinnedEffect {
    const char* name;
    const char* settings;             // qptool new arguments
    std::vector<const char*> pinned;  // lines of qprender --state over 2000 ms
};

const PinnedEffect effects[] = {
    {"defaults",
     "",
     {"frame 1 time 16 particles 0 hash cbf29ce484222325", "frame 30 time 480 particles 46 hash 48c6a5043d976359",
      "frame 62 time 992 particles 97 hash d561f89e59709849", "frame 100 time 1600 particles 99 hash 662df1b7c53a887b",
      "frame 125 time 2000 particles 99 hash c8ee182abfdb517e"}},
    {"fire preset",
     "--preset fire",
     {"frame 30 time 480 particles 139 hash f60c917400b1133f", "frame 62 time 992 particles 240 hash 9a971af9d8ce47e9",
      "frame 100 time 1600 particles 240 hash 28ce3628faa2790c",
      "frame 125 time 2000 particles 240 hash 29e145ee7e001f8e"}},
    {"oblique cone",
     "cone=on coneDirection=0.3,1,-0.2 coneAngle=35 velocity=0.45 size=0.03 lifetime=1500 emitRate=400 "
     "startColor=1,0.5,0.2,1 endColor=0.2,0.3,1,0",
     {"frame 30 time 480 particles 185 hash 09f295ea537d514c", "frame 62 time 992 particles 390 hash 7be11431fb63dfe4",
      "frame 100 time 1600 particles 595 hash 5db570f62d9df0b9",
      "frame 125 time 2000 particles 595 hash 5159a8713f552fd3"}},
    {"high rate",
     "emitRate=20000 velocity=0.7 lifetime=900 startColor=0.9,0.8,0.3,1 endColor=0.1,0.2,1,0.1",
     {"frame 30 time 480 particles 9280 hash 91f3812724814c63",
      "frame 62 time 992 particles 17920 hash e83f47d64ee646df",
      "frame 100 time 1600 particles 17920 hash 7e71b354575f862a",
      "frame 125 time 2000 particles 17920 hash e98a6e53568fe4d1"}},
};

// The line of `output` that starts with the pinned line's "frame N " prefix.
std::string FrameLine(const std::string& output, const std::string& pinned)
{
    const std::string prefix = pinned.substr(0, pinned.find(" time ") + 1);
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line;
    return "(no " + prefix + "line)";
}

}  // namespace

TEST(StateDigestPin, FixedEffectsKeepTheirDigests)
{
    ScratchFolder folder;
    for (const PinnedEffect& e : effects) {
        const std::string file = folder.Path("effect.QP");
        const ToolResult made = RunTool(
            Quote(QPTOOL_PATH) + " new --force " +
            (e.settings[0] == '-' ? std::string(e.settings) + " " + Quote(file) : Quote(file) + " " + e.settings));
        ASSERT_EQ(0, made.exitCode) << e.name << ": " << made.err;
        const ToolResult run =
            RunTool(Quote(QPRENDER_PATH) + " no-texture.qtex " + Quote(file) + " --state --no-image --time 2000");
        ASSERT_EQ(0, run.exitCode) << e.name << ": " << run.err;
        for (const char* pinned : e.pinned)
            EXPECT_EQ(std::string(pinned), FrameLine(run.out, pinned)) << e.name;
    }
}
