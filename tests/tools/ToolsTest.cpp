// The asset tools as a user runs them: help, conversions, checks of bad files, exit codes,
// and output written whole or not at all.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "resources/QPackFile.h"
#include "tests/resources/TestFiles.h"
#include "tests/tools/ToolRun.h"
#include "tools/common/PngFile.h"
#include "tools/common/WholeFile.h"

namespace {
Bytes ReadBytes(const std::string& path)
{
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(ReadFileWhole(path, bytes, error)) << error;
    return bytes;
}

void WritePngOrFail(const std::string& path, uint32_t width, uint32_t height, int components, const Bytes& pixels)
{
    std::string error;
    ASSERT_TRUE(WritePng(path, width, height, components, pixels.data(), error)) << error;
}

// Runs a tool that must fail with exit code 1 and say what went wrong.
void ExpectFailure(const char* tool, const std::vector<std::string>& args, const std::string& says)
{
    ToolResult result = RunTool(tool, args);
    EXPECT_EQ(1, result.exitCode) << says;
    EXPECT_NE(std::string::npos, result.output.find(says)) << says << " in\n" << result.output;
}

class ToolsTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};
}  // namespace

TEST_F(ToolsTest, EveryToolExplainsItself)
{
    for (const char* tool : {QTEX_TOOL, QFONT_TOOL, LLPACK_TOOL}) {
        ToolResult help = RunTool(tool, {"--help"});
        EXPECT_EQ(0, help.exitCode) << tool;
        EXPECT_NE(std::string::npos, help.output.find("usage:")) << tool;
        EXPECT_EQ(1, RunTool(tool, {}).exitCode) << tool << " with nothing to do";
    }
    EXPECT_NE(std::string::npos, RunTool(LLPACK_TOOL, {"--help"}).output.find("format version"));
}

TEST_F(ToolsTest, QtexRoundTripsPngsThroughItsLevels)
{
    // 5 x 3 RGB, odd and non-square: the chain is 5x3, 2x1, 1x1.
    Bytes rgb = Pattern(5 * 3 * 3, 7);
    WritePngOrFail("in.png", 5, 3, 3, rgb);
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"in.png", "out.qtex"}).exitCode);
    Bytes file = ReadBytes("out.qtex");
    ASSERT_GE(file.size(), 27u);
    EXPECT_EQ(Bytes(rgb.end() - 15, rgb.end()), Bytes(file.begin() + 12, file.begin() + 27))
        << "texture row 0 (drawn at t = 0, the bottom) is the PNG's last row";
    ToolResult info = RunTool(QTEX_TOOL, {"--info", "out.qtex"});
    EXPECT_EQ(0, info.exitCode) << info.output;
    for (const char* line : {"3 components (RGB), 3 levels", "level 0: 5 x 3, 45 bytes", "level 1: 2 x 1, 6 bytes",
                             "level 2: 1 x 1, 3 bytes"}) {
        EXPECT_NE(std::string::npos, info.output.find(line)) << line << " in\n" << info.output;
    }
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--png", "out.qtex", "back.png"}).exitCode);
    PngImage back;
    std::string error;
    ASSERT_TRUE(ReadPng("back.png", back, error)) << error;
    EXPECT_EQ(5u, back.width);
    EXPECT_EQ(3, back.components);
    EXPECT_EQ(rgb, back.pixels) << "level 0 is the PNG exactly";

    // Box filter: 2 x 2 blocks of one colour each halve to that colour; the last level is
    // the rounded mean. Alpha in the PNG makes an RGBA texture.
    Bytes rgba = {10, 0, 0, 255, 10, 0, 0, 255, 0, 0, 200, 101, 0, 0, 200, 101,
                  10, 0, 0, 255, 10, 0, 0, 255, 0, 0, 200, 101, 0, 0, 200, 101};
    WritePngOrFail("blocks.png", 4, 2, 4, rgba);
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"blocks.png", "blocks.qtex"}).exitCode);
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--png", "--level", "1", "blocks.qtex", "l1.png"}).exitCode);
    PngImage l1;
    ASSERT_TRUE(ReadPng("l1.png", l1, error));
    EXPECT_EQ((Bytes{10, 0, 0, 255, 0, 0, 200, 101}), l1.pixels);
    Bytes blocks = ReadBytes("blocks.qtex");
    ASSERT_EQ(64u, blocks.size()) << "levels of 4 x 2, 2 x 1 and 1 x 1";
    EXPECT_EQ((Bytes{5, 0, 100, 178}), Bytes(blocks.end() - 4, blocks.end()));

    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--rgb", "blocks.png", "forced.qtex"}).exitCode);
    EXPECT_EQ(3, ReadBytes("forced.qtex")[6]) << "--rgb drops the alpha";
}

TEST_F(ToolsTest, QtexParticleIsASoftRoundSpot)
{
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--particle", "p.qtex"}).exitCode);
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--png", "p.qtex", "p.png"}).exitCode);
    PngImage spot;
    std::string error;
    ASSERT_TRUE(ReadPng("p.png", spot, error));
    ASSERT_EQ(128u, spot.width);
    ASSERT_EQ(3, spot.components);
    auto at = [&spot](int x, int y) { return spot.pixels[(size_t(y) * 128 + x) * 3]; };
    EXPECT_GE(at(64, 64), 254);
    EXPECT_EQ(0, at(127, 64)) << "dark at the rim";
    for (int x = 64; x < 127; ++x) {
        EXPECT_GE(at(x, 64), at(x + 1, 64)) << "falls off steadily at " << x;
        EXPECT_EQ(at(x, 64), at(127 - x, 64)) << "symmetric at " << x;
        EXPECT_EQ(at(x, 64), at(64, x)) << "round at " << x;
    }
}

TEST_F(ToolsTest, QtexInfoSaysWhatIsWrong)
{
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--particle", "--size", "4", "good.qtex"}).exitCode);
    Bytes good = ReadBytes("good.qtex");
    struct Case {
        Bytes file;
        const char* says;
    };
    Bytes badComponents = good;
    badComponents[6] = 5;
    Bytes badVersion = good;
    badVersion[4] = 1;
    badVersion[5] = 0;
    Bytes shortChain = good;
    shortChain[7] = 2;
    shortChain.resize(8 + 4 + 48 + 4 + 12);
    std::vector<Case> cases = {
        {Bytes(good.begin(), good.end() - 2), "level 2 (1 x 1) ends early"},
        {badComponents, "components is 5"},
        {badVersion, "version is 1"},
        {shortChain, "mipmap chain stops at 2 x 2"},
        {{'P', 'N', 'G'}, "does not start with the tag \"QTEX\""},
    };
    for (const Case& c : cases) {
        WriteFile("bad.qtex", c.file);
        ExpectFailure(QTEX_TOOL, {"--info", "bad.qtex"}, std::string("qtex: bad.qtex: ") + c.says);
    }
}

TEST_F(ToolsTest, FailuresLeaveTheOutputAlone)
{
    WriteFile("out.qtex", {'k', 'e', 'e', 'p'});
    WriteFile("notpng.png", {'n', 'o', 't'});
    ExpectFailure(QTEX_TOOL, {"missing.png", "out.qtex"}, "missing.png");
    ExpectFailure(QTEX_TOOL, {"notpng.png", "out.qtex"}, "notpng.png");
    EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), ReadBytes("out.qtex"));

    // A PNG whose header alone declares 200000 x 200000 pixels.
    WritePngOrFail("huge.png", 1, 1, 3, {1, 2, 3});
    Bytes huge = ReadBytes("huge.png");
    huge[17] = huge[21] = 0x03;  // width and height 0x00030d40, big-endian
    huge[18] = huge[22] = 0x0d;
    huge[19] = huge[23] = 0x40;
    uint32_t crc = uint32_t(crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i) {
        huge[29 + i] = uint8_t(crc >> (24 - 8 * i));
    }
    WriteFile("huge.png", huge);
    ExpectFailure(QTEX_TOOL, {"huge.png", "out.qtex"}, "huge.png: image is 200000 x 200000 pixels");
    ExpectFailure(QTEX_TOOL, {"--particle", "no/such/folder/p.qtex"}, "no/such/folder/p.qtex");
    ExpectFailure(QTEX_TOOL, {"--particle", "--size"}, "--size wants a whole number");

    ExpectFailure(QFONT_TOOL, {"notpng.png", "out.QF"}, "notpng.png");
    ExpectFailure(QFONT_TOOL, {"--range", "0-255", "x.ttf", "out.QF"}, "a bitmap font holds at most 255");
    ExpectFailure(QFONT_TOOL, {"--size", "0", "x.ttf", "out.QF"}, "--size wants a pixel size");
    ExpectFailure(QFONT_TOOL, {"--size"}, "--size wants a value");
    EXPECT_EQ((std::vector<std::string>{"huge.png", "notpng.png", "out.qtex"}), FilesIn("."))
        << "no output, no temporaries";
}

TEST_F(ToolsTest, LlpackRoundTrip)
{
    Bytes big = Pattern(70000, 4);
    WriteFile("big.bin", big);
    WriteFile("small.bin", {1, 2, 3});
    WriteFile("empty.bin", {});
    ASSERT_EQ(0, RunTool(LLPACK_TOOL, {"create", "a.pak", "big.bin", "Font.QF=small.bin", "empty.bin"}).exitCode);
    Bytes archive = ReadBytes("a.pak");
    ASSERT_GE(archive.size(), 14u);
    EXPECT_EQ(0, memcmp(archive.data(), "LLPACK\x01\x00\x00\x00\x03\x00\x00\x00", 14)) << "magic, version 1, count 3";

    ToolResult list = RunTool(LLPACK_TOOL, {"list", "a.pak"});
    EXPECT_EQ(0, list.exitCode) << list.output;
    for (const char* text : {"version 1, 3 entries", "70000  big.bin", "3  Font.QF", "0  empty.bin"}) {
        EXPECT_NE(std::string::npos, list.output.find(text)) << text << " in\n" << list.output;
    }

    QPackFile pack("a.pak");
    ASSERT_TRUE(pack.OpenEntry("big.bin"));
    Bytes read(70000);
    EXPECT_EQ(70000u, pack.Read(read.data(), 80000));
    EXPECT_EQ(big, read) << "the resource stream reads what llpack wrote";

    ASSERT_EQ(0, system("mkdir out"));
    ASSERT_EQ(0, RunTool(LLPACK_TOOL, {"extract", "a.pak", "-C", "out"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"Font.QF", "big.bin", "empty.bin"}), FilesIn("out"));
    EXPECT_EQ(big, ReadBytes("out/big.bin"));
    EXPECT_EQ((Bytes{1, 2, 3}), ReadBytes("out/Font.QF"));
    ExpectFailure(LLPACK_TOOL, {"extract", "a.pak", "-C", "out", "nope"}, "no entry named \"nope\"");
}

TEST_F(ToolsTest, LlpackRefusesWhatReadersCouldNotUse)
{
    WriteFile("x.bin", {1});
    ExpectFailure(LLPACK_TOOL, {"create", "a.pak", "x.bin", "x.bin"}, "second entry named \"x.bin\"");
    ExpectFailure(LLPACK_TOOL, {"create", "a.pak", "a/b=x.bin"}, "must be 1 to 255 bytes without '/'");
    ExpectFailure(LLPACK_TOOL, {"create", "a.pak", std::string(256, 'n') + "=x.bin"}, "must be 1 to 255 bytes");
    ExpectFailure(LLPACK_TOOL, {"create", "a.pak", "missing.bin"}, "missing.bin: cannot open");
    EXPECT_EQ((std::vector<std::string>{"x.bin"}), FilesIn(".")) << "no archive written";

    // Hand-made archives: a name that would escape the folder, a directory cut short.
    WriteFile("evil.pak", MakeRawArchive(1, {{"../evil", 24 + 6, 1}}, {7}));
    ASSERT_EQ(0, system("mkdir out"));
    ExpectFailure(LLPACK_TOOL, {"extract", "evil.pak", "-C", "out"}, "not a plain file name");
    EXPECT_EQ((std::vector<std::string>{"evil.pak", "out", "x.bin"}), FilesIn("."));

    WriteFile("cut.pak", MakeRawArchive(3, {{"a", 0, 0}}, {}));
    ExpectFailure(LLPACK_TOOL, {"list", "cut.pak"}, "cut.pak: directory ends after 1 of 3 entries");
    WriteFile("past.pak", MakeRawArchive(1, {{"a", 20, 100}}, {}));
    ExpectFailure(LLPACK_TOOL, {"list", "past.pak"}, "\"a\" runs past the archive's end");
    WriteFile("other.bin", Pattern(20, 1));
    ToolResult other = RunTool(LLPACK_TOOL, {"list", "other.bin"});
    EXPECT_EQ(1, other.exitCode);
    EXPECT_EQ("llpack: other.bin: not an LLPACK archive (no \"LLPACK\" at its start)\n", other.output);
}
