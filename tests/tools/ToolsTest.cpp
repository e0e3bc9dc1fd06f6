// The asset tools as a user runs them: help, conversions, checks of bad files, exit codes,
// and output written whole or not at all.
#include <gtest/gtest.h>

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
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--png", "--level", "2", "blocks.qtex", "l2.png"}).exitCode);
    PngImage l1, l2;
    ASSERT_TRUE(ReadPng("l1.png", l1, error));
    ASSERT_TRUE(ReadPng("l2.png", l2, error));
    EXPECT_EQ((Bytes{10, 0, 0, 255, 0, 0, 200, 101}), l1.pixels);
    EXPECT_EQ((Bytes{5, 0, 100, 178}), l2.pixels);

    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--rgb", "blocks.png", "forced.qtex"}).exitCode);
    EXPECT_EQ(3, ReadBytes("forced.qtex")[6]) << "--rgb drops the alpha";
}

TEST_F(ToolsTest, QtexParticleIsASoftRoundSpot)
{
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--particle", "p.qtex"}).exitCode);
    ToolResult info = RunTool(QTEX_TOOL, {"--info", "p.qtex"});
    EXPECT_EQ(0, info.exitCode) << info.output;
    EXPECT_NE(std::string::npos, info.output.find("3 components (RGB), 8 levels")) << info.output;
    EXPECT_NE(std::string::npos, info.output.find("level 0: 128 x 128")) << info.output;
    ASSERT_EQ(0, RunTool(QTEX_TOOL, {"--png", "p.qtex", "p.png"}).exitCode);
    PngImage spot;
    std::string error;
    ASSERT_TRUE(ReadPng("p.png", spot, error));
    auto at = [&spot](int x, int y) { return spot.pixels[(size_t(y) * 128 + x) * 3]; };
    EXPECT_GE(at(64, 64), 254);
    EXPECT_EQ(0, at(0, 0));
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
        const char* what;
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
        {"cut short", Bytes(good.begin(), good.end() - 2), "ends early"},
        {"components", badComponents, "components is 5"},
        {"version", badVersion, "version is 1"},
        {"chain", shortChain, "stops at 2 x 2"},
        {"tag", {'P', 'N', 'G'}, "\"QTEX\""},
    };
    for (const Case& c : cases) {
        WriteFile("bad.qtex", c.file);
        ToolResult info = RunTool(QTEX_TOOL, {"--info", "bad.qtex"});
        EXPECT_EQ(1, info.exitCode) << c.what;
        EXPECT_NE(std::string::npos, info.output.find("bad.qtex: ")) << c.what << ": names the file\n" << info.output;
        EXPECT_NE(std::string::npos, info.output.find(c.says)) << c.what << "\n" << info.output;
    }
}

TEST_F(ToolsTest, FailuresLeaveTheOutputAlone)
{
    WriteFile("out.qtex", {'k', 'e', 'e', 'p'});
    WriteFile("notpng.png", {'n', 'o', 't'});
    ToolResult missing = RunTool(QTEX_TOOL, {"missing.png", "out.qtex"});
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.output.find("missing.png")) << missing.output;
    ToolResult corrupt = RunTool(QTEX_TOOL, {"notpng.png", "out.qtex"});
    EXPECT_EQ(1, corrupt.exitCode);
    EXPECT_NE(std::string::npos, corrupt.output.find("notpng.png")) << corrupt.output;
    EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), ReadBytes("out.qtex"));

    ToolResult nowhere = RunTool(QTEX_TOOL, {"--particle", "no/such/folder/p.qtex"});
    EXPECT_EQ(1, nowhere.exitCode);
    EXPECT_NE(std::string::npos, nowhere.output.find("no/such/folder/p.qtex")) << nowhere.output;

    ToolResult font = RunTool(QFONT_TOOL, {"notpng.png", "out.QF"});
    EXPECT_EQ(1, font.exitCode);
    EXPECT_NE(std::string::npos, font.output.find("notpng.png")) << font.output;
    EXPECT_EQ(1, RunTool(QFONT_TOOL, {"--range", "0-255", "x.ttf", "out.QF"}).exitCode) << "more than 255 codes";
    EXPECT_EQ(1, RunTool(QFONT_TOOL, {"--size", "0", "x.ttf", "out.QF"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"notpng.png", "out.qtex"}), FilesIn(".")) << "no output, no temporaries";
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
    EXPECT_EQ(big, read);
    ASSERT_TRUE(pack.OpenEntry("Font.QF"));
    EXPECT_EQ(3u, pack.GetSize());

    ASSERT_EQ(0, system("mkdir out"));
    ASSERT_EQ(0, RunTool(LLPACK_TOOL, {"extract", "a.pak", "-C", "out"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"Font.QF", "big.bin", "empty.bin"}), FilesIn("out"));
    EXPECT_EQ(big, ReadBytes("out/big.bin"));
    EXPECT_EQ((Bytes{1, 2, 3}), ReadBytes("out/Font.QF"));
    ToolResult one = RunTool(LLPACK_TOOL, {"extract", "a.pak", "-C", "out", "nope"});
    EXPECT_EQ(1, one.exitCode);
    EXPECT_NE(std::string::npos, one.output.find("no entry named \"nope\"")) << one.output;
}

TEST_F(ToolsTest, LlpackRefusesWhatReadersCouldNotUse)
{
    WriteFile("x.bin", {1});
    ToolResult twice = RunTool(LLPACK_TOOL, {"create", "a.pak", "x.bin", "x.bin"});
    EXPECT_EQ(1, twice.exitCode);
    EXPECT_NE(std::string::npos, twice.output.find("second entry named \"x.bin\"")) << twice.output;
    EXPECT_EQ(1, RunTool(LLPACK_TOOL, {"create", "a.pak", "a/b=x.bin"}).exitCode) << "names can't hold '/'";
    EXPECT_EQ(1, RunTool(LLPACK_TOOL, {"create", "a.pak", std::string(256, 'n') + "=x.bin"}).exitCode);
    EXPECT_EQ(1, RunTool(LLPACK_TOOL, {"create", "a.pak", "missing.bin"}).exitCode);
    EXPECT_EQ((std::vector<std::string>{"x.bin"}), FilesIn(".")) << "no archive written";

    // Hand-made archives: a name that would escape the folder, a directory cut short.
    WriteFile("evil.pak", MakeRawArchive(1, {{"../evil", 24 + 6, 1}}, {7}));
    ASSERT_EQ(0, system("mkdir out"));
    ToolResult evil = RunTool(LLPACK_TOOL, {"extract", "evil.pak", "-C", "out"});
    EXPECT_EQ(1, evil.exitCode);
    EXPECT_NE(std::string::npos, evil.output.find("not a plain file name")) << evil.output;
    EXPECT_EQ((std::vector<std::string>{"evil.pak", "out", "x.bin"}), FilesIn("."));

    WriteFile("cut.pak", MakeRawArchive(3, {{"a", 0, 0}}, {}));
    ToolResult cut = RunTool(LLPACK_TOOL, {"list", "cut.pak"});
    EXPECT_EQ(1, cut.exitCode);
    EXPECT_NE(std::string::npos, cut.output.find("cut.pak: directory ends after 1 of 3 entries")) << cut.output;
    WriteFile("past.pak", MakeRawArchive(1, {{"a", 20, 100}}, {}));
    ToolResult past = RunTool(LLPACK_TOOL, {"list", "past.pak"});
    EXPECT_EQ(1, past.exitCode);
    EXPECT_NE(std::string::npos, past.output.find("\"a\" runs past the archive's end")) << past.output;
    EXPECT_EQ(1, RunTool(LLPACK_TOOL, {"list", "x.bin"}).exitCode) << "not an archive";
}
