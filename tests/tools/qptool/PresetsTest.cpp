// The presets as a user meets them: listed by `qptool presets`, written by
// `new --preset` into a file that dumps back to the preset's own text, and alive
// when the engine runs them (qprender's simulation, no GL).

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/ToolRunner.h"
#include "effect/Presets.h"

namespace {

const std::string qptool = QPTOOL_PATH;
const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

// The particle count of the last `--state` line, or -1.
long LastParticleCount(const std::string& state)
{
    const size_t at = state.rfind(" particles ");
    return at == std::string::npos ? -1 : strtol(state.c_str() + at + 11, nullptr, 10);
}

}  // namespace

TEST(QptoolPresets, EachIsListedWrittenDumpedBackAndAlive)
{
    ScratchFolder dir;
    const ToolResult list = RunTool(Quote(qptool) + " presets");
    ASSERT_EQ(0, list.exitCode) << list.err;
    ASSERT_LE(6u, effectPresetCount);
    std::string listed;
    for (size_t i = 0; i < effectPresetCount; ++i) {
        const EffectPreset& preset = effectPresets[i];
        listed += std::string(preset.name) + std::string(11 - std::string(preset.name).size(), ' ') +
                  preset.description + "\n";
        const std::string file = dir.Path(std::string(preset.name) + ".QP");
        const ToolResult made = RunTool(Quote(qptool) + " new --preset " + preset.name + " " + Quote(file));
        ASSERT_EQ(0, made.exitCode) << preset.name << ": " << made.err;
        const ToolResult dump = RunTool(Quote(qptool) + " dump " + Quote(file));
        EXPECT_EQ(0, dump.exitCode) << preset.name << ": " << dump.err;
        EXPECT_EQ("", dump.err) << preset.name;
        EXPECT_EQ(preset.text, dump.out) << preset.name;
        const ToolResult run =
            RunTool(Quote(qprender) + " " + Quote(texture) + " " + Quote(file) + " --state --no-image --time 1000");
        ASSERT_EQ(0, run.exitCode) << preset.name << ": " << run.err;
        EXPECT_LT(0, LastParticleCount(run.out)) << preset.name << " at 1 s:\n" << run.out.substr(run.out.size() - 200);
    }
    EXPECT_EQ(listed, list.out);

    const ToolResult unknown = RunTool(Quote(qptool) + " new --preset lava " + Quote(dir.Path("lava.QP")));
    EXPECT_EQ(1, unknown.exitCode);
    EXPECT_EQ("qptool: no preset 'lava' (`qptool presets` lists them)\n", unknown.err);
    EXPECT_EQ(std::vector<uint8_t>(), ReadBytes(dir.Path("lava.QP")));
}
