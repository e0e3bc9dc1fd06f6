// qprender's command line: defaults, capture times, refusals, series names.

#include <gtest/gtest.h>

#include <vector>

#include "tools/qprender/RenderOptions.h"

namespace {

bool Parse(std::vector<const char*> args, RenderOptions& o, std::string& error)
{
    args.insert(args.begin(), "qprender");
    return ParseRenderOptions(int(args.size()), args.data(), o, error);
}

}  // namespace

TEST(RenderOptions, DefaultsAndCaptureTimes)
{
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"tex.qtex"}, o, error)) << error;
    EXPECT_EQ(640u, o.width);
    EXPECT_EQ(480u, o.height);
    EXPECT_EQ(16u, o.stepMs);
    EXPECT_EQ(std::vector<uint32_t>{1000}, o.times) << "one picture one second in";
    EXPECT_EQ("qprender.png", o.outputPath);

    ASSERT_TRUE(Parse({"t", "e.QP", "--time", "500,0,250,500", "--sheet=2"}, o, error)) << error;
    EXPECT_EQ((std::vector<uint32_t>{0, 250, 500}), o.times);
    EXPECT_EQ("e.QP", o.effectPath);
    ASSERT_TRUE(Parse({"t", "--frames", "4"}, o, error)) << error;
    EXPECT_EQ((std::vector<uint32_t>{16, 32, 48, 64}), o.times);
    EXPECT_EQ("frame%04d.png", o.outputPath) << "several pictures make a series";
    ASSERT_TRUE(Parse({"t", "--frames", "2", "--interval", "100", "--turn", "-10,0,45.5", "--background", "#ff8000"},
                      o, error))
        << error;
    EXPECT_EQ((std::vector<uint32_t>{100, 200}), o.times);
    EXPECT_EQ(-10.0f, o.turnSpeed.x);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, o.background[1]);
}

TEST(RenderOptions, RefusesBadCommandLinesWithAReason)
{
    struct Case {
        std::vector<const char*> args;
        const char* says;
    } cases[] = {
        {{}, "no TEXTURE"},
        {{"t", "--bogus"}, "unknown option --bogus"},
        {{"t", "--size", "0x480"}, "WIDTHxHEIGHT"},
        {{"t", "--time", "5,,6"}, "bad --time"},
        {{"t", "--time", "1", "--frames", "2"}, "can't be used together"},
        {{"t", "--frames", "100000", "--interval", "1000"}, "goes past"},
        {{"t", "--distance", "0.5"}, "from 1 to 10"},
        {{"t", "--background", "0,0,0", "--transparent"}, "can't be used together"},
        {{"t", "--no-image"}, "only with --state"},
        {{"t", "--frames", "2", "-o", "same.png"}, "needs one %d"},
        {{"t", "--frames", "200", "--sheet", "200", "--size", "100x100"}, "at most 16384"},
    };
    for (const Case& c : cases) {
        RenderOptions o;
        std::string error;
        EXPECT_FALSE(Parse(c.args, o, error)) << c.says;
        EXPECT_NE(std::string::npos, error.find(c.says)) << "expected '" << c.says << "', got: " << error;
    }
}

TEST(SeriesNames, ExpandOneNumberConversionOnly)
{
    std::string name;
    ASSERT_TRUE(ExpandSeriesName("out/f%04d.png", 12, name));
    EXPECT_EQ("out/f0012.png", name);
    ASSERT_TRUE(ExpandSeriesName("%3d%%.png", 5, name));
    EXPECT_EQ("  5%.png", name);
    // Anything printf would read differently, or read past the argument, is refused.
    for (const char* pattern : {"plain.png", "%d%d.png", "%s.png", "%n", "%", "%10d", "%-4d", "%ld"}) {
        name = "unchanged";
        EXPECT_FALSE(ExpandSeriesName(pattern, 1, name)) << pattern;
        EXPECT_EQ("unchanged", name) << pattern;
    }
}
