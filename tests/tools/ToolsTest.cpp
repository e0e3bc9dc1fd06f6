// The asset tools run as a user runs them: conversions checked byte by byte and through the
// loaders with real GL, a font's glyphs against FreeType's own bitmaps, the build's default
// assets, and one table of bad inputs that must fail with exit code 1, a message and no output.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <memory>

#include "resources/QBitmapFont.h"
#include "resources/QBitmapFontLoader.h"
#include "resources/QPackFile.h"
#include "resources/QTexture.h"
#include "tests/resources/GlTest.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRunner.h"
#include "tools/common/PngFile.h"

namespace {
using Tools = InScratchFolder;
void ExpectSays(const ToolResult& result, int exitCode, const std::string& text)
{
    EXPECT_EQ(exitCode, result.exitCode) << text;
    EXPECT_TRUE(Has(result.out + result.err, text)) << text << " in\n" << result.out << result.err;
}
}  // namespace

// A PNG through qtex and llpack, read back by --info, --png and the resource stream.
TEST_F(Tools, PngToQtexToArchiveAndBack)
{
    // 5 x 3 RGB, odd and non-square: the chain is 5 x 3, 2 x 1, 1 x 1.
    Bytes rgb = Pattern(5 * 3 * 3, 7), big = Pattern(70000, 4);
    std::string error;
    ASSERT_TRUE(WritePng("in.png", 5, 3, 3, rgb.data(), error)) << error;
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "in.png", "out.qtex"}).exitCode);
    ToolResult info = RunProgram({QTEX_TOOL, "--info", "out.qtex"});
    for (const char* line : {"3 components (RGB), 3 levels", "level 1: 2 x 1, 6 bytes", "level 2: 1 x 1, 3 bytes"})
        ExpectSays(info, 0, line);
    PngImage back;
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "--png", "out.qtex", "back.png"}).exitCode);
    ASSERT_TRUE(ReadPng("back.png", back, error)) << error;
    EXPECT_EQ(5u, back.width) << "level 0 is the PNG exactly";
    EXPECT_EQ(3, back.components) << "level 0 is the PNG exactly";
    EXPECT_EQ(rgb, back.pixels) << "level 0 is the PNG exactly";

    // Through llpack and the resource stream: texture row 0 (the bottom) is the PNG's last row.
    WriteBytes("big.bin", big);
    ASSERT_EQ(0, RunProgram({LLPACK_TOOL, "create", "a.pak", "big.bin", "Tex=out.qtex"}).exitCode);
    ExpectSays(RunProgram({LLPACK_TOOL, "list", "a.pak"}), 0, "version 1, 2 entries");
    QPackFile pack("a.pak");
    Bytes read(80000);
    ASSERT_TRUE(pack.OpenEntry("big.bin"));
    EXPECT_EQ(70000u, pack.Read(read.data(), 80000)) << "big.bin";
    EXPECT_EQ(big, Bytes(&read[0], &read[70000]));
    ASSERT_TRUE(pack.OpenEntry("Tex"));
    ASSERT_TRUE(pack.Seek(12, FromStart)) << "Tex";
    EXPECT_EQ(15u, pack.Read(read.data(), 15)) << "Tex";
    EXPECT_EQ(Bytes(rgb.end() - 15, rgb.end()), Bytes(&read[0], &read[15]));
    std::filesystem::create_directory("out");
    ASSERT_EQ(0, RunProgram({LLPACK_TOOL, "extract", "a.pak", "-C", "out"}).exitCode);
    EXPECT_EQ(big, ReadBytes("out/big.bin"));
    EXPECT_EQ(ReadBytes("out.qtex"), ReadBytes("out/Tex"));
    // An entry name with control bytes is listed escaped, so a terminal never acts on it.
    ASSERT_EQ(0, RunProgram({LLPACK_TOOL, "create", "odd.pak", "\x1b[2Jred\\=big.bin"}).exitCode);
    ExpectSays(RunProgram({LLPACK_TOOL, "list", "odd.pak"}), 0, "70000  \\x1b[2Jred\\x5c\n");

    // Box filter: 2 x 2 blocks of one colour halve to that colour; the last level is the
    // rounded mean. Alpha in the PNG makes an RGBA texture.
    Bytes rgba = {10, 0, 0, 255, 10, 0, 0, 255, 0, 0, 200, 101, 0, 0, 200, 101};
    rgba.insert(rgba.end(), rgba.begin(), rgba.end());
    ASSERT_TRUE(WritePng("blocks.png", 4, 2, 4, rgba.data(), error)) << error;
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "blocks.png", "blocks.qtex"}).exitCode);
    Bytes blocks = ReadBytes("blocks.qtex");
    ASSERT_EQ(64u, blocks.size()) << "levels of 4 x 2, 2 x 1 and 1 x 1";
    EXPECT_EQ((Bytes{10, 0, 0, 255, 0, 0, 200, 101, 1, 0, 1, 0, 5, 0, 100, 178}), Bytes(&blocks[48], &blocks[63] + 1));
}

TEST_F(Tools, BadInputFailsWithAMessageAndNoOutput)
{
    for (const char* tool : {QTEX_TOOL, QFONT_TOOL, LLPACK_TOOL})
        ExpectSays(RunProgram({tool, "--help"}), 0, "usage: ");
    // A 4 x 4 RGB texture, and damaged copies of it.
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "--particle", "--size", "4", "good.qtex"}).exitCode);
    Bytes good = ReadBytes("good.qtex");  // tag, version 0x0100, components, levels; then 4 x 4 at 8
    WriteBytes("cut.qtex", Bytes(good.begin(), good.end() - 2));
    WriteBytes("rgb5.qtex", Patched(good, 4, 0x03050100));
    WriteBytes("chain.qtex", Patched(Bytes(good.begin(), good.begin() + 8 + 52 + 16), 4, 0x02030100));
    // A PNG whose header alone declares 200000 x 200000 pixels (big-endian, CRC mended).
    std::string error;
    ASSERT_TRUE(WritePng("huge.png", 1, 1, 3, good.data(), error)) << error;
    Bytes huge = ReadBytes("huge.png");
    for (size_t at : {17, 21})
        huge[at] = 0x03, huge[at + 1] = 0x0d, huge[at + 2] = 0x40;
    uint32_t crc = uint32_t(crc32(0, &huge[12], 17));
    for (int i = 0; i < 4; ++i)
        huge[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    WriteBytes("huge.png", huge);
    WriteBytes("out.qtex", {'k', 'e', 'e', 'p'});
    WriteBytes("notpng.png", {'n', 'o', 't'});
    WriteBytes("evil.pak", MakeArchive({{"../evil", {7}}}));
    WriteBytes("cut.pak", Patched(MakeArchive({{"a", {}}}), 10, 3));
    WriteBytes("past.pak", Patched(MakeArchive({{"a", {}}}), 20, 100));
    std::filesystem::create_directory("out");
    ASSERT_EQ(0, mkfifo("pipe", 0600));  // read, it would stall a plain open; written, it would become a file
    auto files = [] { return std::distance(std::filesystem::directory_iterator("."), {}); };
    auto before = files();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{QTEX_TOOL, "--info", "cut.qtex"}, "qtex: cut.qtex: level 2 (1 x 1) ends early"},
        {{QTEX_TOOL, "--info", "rgb5.qtex"}, "qtex: rgb5.qtex: components is 5"},
        {{QTEX_TOOL, "--info", "chain.qtex"}, "qtex: chain.qtex: mipmap chain stops at 2 x 2"},
        {{QTEX_TOOL, "--info", "notpng.png"}, "qtex: notpng.png: does not start with the tag \"QTEX\""},
        {{QTEX_TOOL, "missing.png", "out.qtex"}, "missing.png"},
        {{QTEX_TOOL, "notpng.png", "out.qtex"}, "notpng.png"},
        {{QTEX_TOOL, "huge.png", "out.qtex"}, "huge.png: image is 200000 x 200000 pixels"},
        {{QTEX_TOOL, "--particle", "no/such/folder/p.qtex"}, "no/such/folder/p.qtex"},
        {{QTEX_TOOL, "--particle", "--size"}, "--size wants a whole number"},
        {{QTEX_TOOL, "--particle", "--size", "99999999999999999999", "p.qtex"},
         "qtex: --size wants a whole number from 1 to 4096, not \"99999999999999999999\""},
        {{QTEX_TOOL, "--png", "--level", "1x", "good.qtex", "p.png"},
         "qtex: --level wants a whole number from 0 to 254, not \"1x\""},
        {{QFONT_TOOL, "--range", " 65-66", "x.ttf", "out.QF"},
         "qfont: --range wants FIRST-LAST with 0 <= FIRST <= LAST <= 255, not \" 65-66\""},
        {{QFONT_TOOL, "notpng.png", "out.QF"}, "notpng.png"},
        {{QFONT_TOOL, "--range", "0-255", "x.ttf", "out.QF"}, "a bitmap font holds at most 255"},
        {{QFONT_TOOL, "--size", "0", "x.ttf", "out.QF"}, "--size wants a pixel size"},
        {{QFONT_TOOL, "--size"}, "--size wants a value"},
        {{LLPACK_TOOL}, "usage: llpack"},
        {{LLPACK_TOOL, "create", "new.pak", "notpng.png", "notpng.png"}, "second entry named \"notpng.png\""},
        {{LLPACK_TOOL, "create", "new.pak", "a/b=notpng.png"}, "must be 1 to 255 bytes without '/'"},
        {{LLPACK_TOOL, "create", "new.pak", std::string(256, 'n') + "=notpng.png"}, "must be 1 to 255 bytes"},
        {{LLPACK_TOOL, "create", "new.pak", "missing.bin"}, "llpack: missing.bin: No such file or directory"},
        {{LLPACK_TOOL, "create", "new.pak", "pipe"}, "llpack: pipe: not a regular file"},
        {{LLPACK_TOOL, "list", "pipe"}, "llpack: pipe: not a regular file"},
        {{QTEX_TOOL, "pipe", "out.qtex"}, "qtex: pipe: not a regular file"},
        {{QTEX_TOOL, "--info", "pipe"}, "qtex: pipe: not a regular file"},
        {{QFONT_TOOL, "pipe", "out.QF"}, "qfont: pipe: not a regular file"},
        {{QTEX_TOOL, "--particle", "pipe"}, "qtex: pipe: not a regular file"},
        {{QTEX_TOOL, "--particle", "out"}, "qtex: out: is a folder, not a regular file"},
        {{LLPACK_TOOL, "extract", "evil.pak", "-C", "out"}, "not a plain file name"},
        {{LLPACK_TOOL, "extract", "evil.pak", "-C", "out", "nope"}, "no entry named \"nope\""},
        {{LLPACK_TOOL, "list", "cut.pak"}, "cut.pak: directory ends after 1 of 3 entries"},
        {{LLPACK_TOOL, "list", "past.pak"}, "past.pak: entry \"a\" runs past the archive's end"},
        {{LLPACK_TOOL, "list", "notpng.png"}, "notpng.png: not an LLPACK archive (no \"LLPACK\" at its start)"},
    };
    for (const auto& c : cases)
        ExpectSays(RunProgram(c.first), 1, c.second);
    EXPECT_EQ(before, files()) << "no output, no temporaries";
    EXPECT_TRUE(std::filesystem::is_empty("out"));
    EXPECT_TRUE(std::filesystem::is_fifo("pipe"));
    EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), ReadBytes("out.qtex"));
}

// Draws code with its origin at (20, 20) from a font qfont made at 16 pixels, and expects
// exactly the pixels and the advance of FreeType's own monochrome bitmap.
TEST_F(Tools, FontGlyphsMatchFreeTypesBitmaps)
{
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans";
    // '"' lies wholly above the baseline and '_' wholly below it; 0xE9 comes through a string.
    const std::tuple<std::string, const char*, unsigned char> cases[] = {{dejavu + "Mono.ttf", "32-126", 'A'},
                                                                         {dejavu + "Mono.ttf", "32-126", 'g'},
                                                                         {dejavu + "Mono.ttf", "32-126", '"'},
                                                                         {dejavu + "Mono.ttf", "32-126", '_'},
                                                                         {dejavu + ".ttf", "160-255", 0xE9}};
    FT_Library library;
    ASSERT_EQ(0, FT_Init_FreeType(&library));
    for (const auto& [path, range, code] : cases) {
        ASSERT_EQ(0, RunProgram({QFONT_TOOL, "--size", "16", "--range", range, path, "Font.QF"}).exitCode);
        QBitmapFontLoader loader(256);
        std::unique_ptr<QBitmapFont> font(loader.Load("Font.QF", nullptr));
        ASSERT_NE(nullptr, font);
        FT_Face face;
        ASSERT_EQ(0, FT_New_Face(library, path.c_str(), 0, &face));
        FT_Set_Pixel_Sizes(face, 0, 16);
        ASSERT_EQ(0, FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME));
        const FT_GlyphSlot glyph = face->glyph;
        Picture want(glTestSize * glTestSize);
        for (int row = 0; row < int(glyph->bitmap.rows); ++row) {
            for (int x = 0; x < int(glyph->bitmap.width); ++x) {
                int y = 20 + glyph->bitmap_top - 1 - row;  // FreeType's rows go down, GL's go up
                if (glyph->bitmap.buffer[row * glyph->bitmap.pitch + x / 8] & (0x80 >> (x % 8)))
                    want[size_t(y * glTestSize + 20 + glyph->bitmap_left + x)] = 255;
            }
        }
        ASSERT_NE(Picture(want.size()), want) << "code " << int(code) << " has ink";
        char text[2] = {char(code), 0};
        StartPixelFrame();
        font->DrawText(20, 20, text);
        EXPECT_EQ(20.0f + float((glyph->advance.x + 32) >> 6), RasterX()) << "advance of code " << int(code);
        ExpectPicture(want, "code " + std::to_string(code));
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
}

// The build's default particle texture: 128 x 128 RGB, a round spot that falls off
// steadily from a bright centre to a dark rim.
TEST_F(Tools, DefaultParticleIsASoftRoundSpot)
{
    PngImage spot;
    std::string error;
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "--png", QP_ASSET_DIR "/Particle.qtex", "p.png"}).exitCode);
    ASSERT_TRUE(ReadPng("p.png", spot, error)) << error;
    ASSERT_EQ(128u, spot.width);
    ASSERT_EQ(3, spot.components);
    auto at = [&spot](int x, int y) { return spot.pixels[(size_t(y) * 128 + size_t(x)) * 3]; };
    EXPECT_GE(at(64, 64), 254) << "centre";
    EXPECT_EQ(0, at(127, 64)) << "rim";
    for (int x = 64; x < 127; ++x) {
        EXPECT_GE(at(x, 64), at(x + 1, 64)) << "falls off outward at x " << x;
        EXPECT_EQ(at(x, 64), at(127 - x, 64)) << "mirrored left and right at x " << x;
        EXPECT_EQ(at(x, 64), at(64, x)) << "the same along y at " << x;
    }
}

// Every tool answers --help and --version on standard output with exit code 0, and the
// version line names the tool and the project's one version.
TEST_F(Tools, HelpAndVersionGoToStandardOutputWithExitZero)
{
    for (const char* tool : {QTEX_TOOL, QFONT_TOOL, LLPACK_TOOL, QPRENDER_TOOL, QPTOOL_TOOL}) {
        const std::string name = std::string(tool).substr(std::string(tool).rfind('/') + 1);
        ToolResult version = RunProgram({tool, "--version"});
        EXPECT_EQ(0, version.exitCode) << name;
        EXPECT_EQ(name + " (qpedit) " QP_VERSION "\n", version.out) << name;
        EXPECT_EQ("", version.err) << name;
        ToolResult help = RunProgram({tool, "--help"});
        EXPECT_EQ(0, help.exitCode) << name;
        EXPECT_EQ(0u, help.out.find("usage: " + name)) << name << ":\n" << help.out;
        EXPECT_TRUE(Has(help.out, "--version")) << name;
        EXPECT_EQ("", help.err) << name << " wrote part of its help to standard error";
    }
}
