// Every preset, rendered by qprender at 1 s on the default texture, shows on the
// picture: enough pixels stand out of the black background. Labelled gl.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/ToolRunner.h"
#include "tools/common/PngFile.h"
#include "effect/Presets.h"

namespace {

const std::string qptool = QPTOOL_PATH;
const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

}  // namespace

TEST(QptoolPresetImages, EachPresetShowsAtOneSecond)
{
    ScratchFolder dir;
    for (size_t i = 0; i < effectPresetCount; ++i) {
        const std::string name = effectPresets[i].name;
        const std::string file = dir.Path(name + ".QP"), picture = dir.Path(name + ".png");
        ASSERT_EQ(0, RunTool(Quote(qptool) + " new --preset " + name + " " + Quote(file)).exitCode) << name;
        const ToolResult render = RunTool(Quote(qprender) + " " + Quote(texture) + " " + Quote(file) +
                                          " --size 160x120 --time 1000 -o " + Quote(picture));
        ASSERT_EQ(0, render.exitCode) << name << ": " << render.err;
        PngImage image;
        std::string error;
        ASSERT_TRUE(ReadPng(picture, image, error, 3)) << error;
        // The faintest preset (smoke, still thin at 1 s) lights several hundred
        // pixels above 16 of 255; a broken one lights none.
        size_t lit = 0;
        for (size_t p = 0; p + 2 < image.pixels.size(); p += 3)
            lit += std::max({image.pixels[p], image.pixels[p + 1], image.pixels[p + 2]}) > 16;
        EXPECT_LE(100u, lit) << name << ": pixels brighter than 16 of 255 at 1 s";
    }
}
