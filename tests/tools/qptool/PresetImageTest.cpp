// Every preset, rendered by qprender at 1 s on the default texture, shows on the
// picture: enough pixels stand out of the black background; and the pixels qptool
// cost counts for a particle are the quad qprender draws. Labelled gl.

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

// What cost counts as one particle's pixels is the quad qprender draws in the editor's
// 640x480 view: particles held at the emitter light a box within it, short of it only
// by the texture's dark rim.
TEST(QptoolCostImage, OneParticlesPixelsAreTheQuadDrawn)
{
    ScratchFolder dir;
    const std::string file = dir.Path("still.QP"), picture = dir.Path("still.png");
    ASSERT_EQ(0, RunTool(Quote(qptool) + " new " + Quote(file) + " velocity=0 size=0.1 endColor=1,1,1,1").exitCode);
    const ToolResult cost = RunTool(Quote(qptool) + " cost " + Quote(file));
    EXPECT_TRUE(Has(cost.out, "coverage          19200 pixels a particle")) << cost.out;
    const ToolResult render =
        RunTool(Quote(qprender) + " " + Quote(texture) + " " + Quote(file) + " --time 500 -o " + Quote(picture));
    ASSERT_EQ(0, render.exitCode) << render.err;
    PngImage image;
    std::string error;
    ASSERT_TRUE(ReadPng(picture, image, error, 3)) << error;
    ASSERT_EQ(640u, image.width);
    size_t left = image.width, right = 0, top = image.height, bottom = 0;
    for (size_t y = 0; y < image.height; ++y)
        for (size_t x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.pixels[(y * image.width + x) * 3];
            if (p[0] || p[1] || p[2]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    const size_t width = right + 1 - left, height = bottom + 1 - top;
    EXPECT_GE(160u, width) << "lit columns";
    EXPECT_LE(156u, width) << "lit columns";
    EXPECT_GE(120u, height) << "lit rows";
    EXPECT_LE(116u, height) << "lit rows";
}
