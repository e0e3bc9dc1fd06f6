// The bitmap font against real GL: glyph pixels drawn at raster positions, the string and
// formatted-text operations, the metrics, and resources that must be refused.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "resources/QBitmapFont.h"
#include "resources/QBitmapFontLoader.h"
#include "resources/QPackFile.h"
#include "tests/resources/GlEnvironment.h"
#include "tests/resources/TestFiles.h"

namespace {
struct Glyph {
    uint8_t code, width, height;
    int8_t xorig, yorig;
    uint8_t advance;
    Bytes bitmap;  // rows bottom to top, (width + 7) / 8 bytes each
};

Bytes MakeFont(const std::vector<Glyph>& glyphs)
{
    Bytes bytes;
    PutText(bytes, "QBMFONT");
    bytes.push_back(uint8_t(glyphs.size()));
    for (const Glyph& g : glyphs) {
        Bytes head = {g.code, g.width, g.height, uint8_t(g.xorig), uint8_t(g.yorig), g.advance};
        bytes.insert(bytes.end(), head.begin(), head.end());
        bytes.insert(bytes.end(), g.bitmap.begin(), g.bitmap.end());
    }
    return bytes;
}

// A 9 x 10 glyph: two bytes per row; row r lights pixel r (from the left) and pixel 8.
Glyph Diagonal(uint8_t code, int8_t xorig, int8_t yorig, uint8_t advance)
{
    Glyph g{code, 9, 10, xorig, yorig, advance, {}};
    for (int r = 0; r < 10; ++r) {
        uint16_t bits = uint16_t((r < 8 ? 0x8000 >> r : 0) | 0x0080);
        g.bitmap.push_back(uint8_t(bits >> 8));
        g.bitmap.push_back(uint8_t(bits));
    }
    return g;
}

// Pixels Diagonal lights when drawn with its raster position at (x, y).
std::vector<std::pair<int, int>> DiagonalPixels(int x, int y, int xorig, int yorig)
{
    std::vector<std::pair<int, int>> lit;
    for (int r = 0; r < 10; ++r) {
        if (r < 8) {
            lit.push_back({x - xorig + r, y - yorig + r});
        }
        lit.push_back({x - xorig + 8, y - yorig + r});
    }
    return lit;
}

void ExpectLit(const std::vector<std::pair<int, int>>& expected, const char* what)
{
    std::vector<uint8_t> red = ReadRed();
    std::vector<uint8_t> want(red.size(), 0);
    for (auto p : expected) {
        want[p.second * glTestSize + p.first] = 255;
    }
    for (int y = 0; y < glTestSize; ++y) {
        for (int x = 0; x < glTestSize; ++x) {
            EXPECT_EQ(want[y * glTestSize + x], red[y * glTestSize + x]) << what << ": pixel " << x << "," << y;
        }
    }
}

class BitmapFontTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    QBitmapFontLoader loader{256};
};
}  // namespace

TEST_F(BitmapFontTest, GlyphLightsItsPixelsAtTheRasterPosition)
{
    WriteFile("Font.QF", MakeFont({Diagonal('A', 2, 3, 11), Diagonal(0xC8, 0, 0, 10)}));
    QBitmapFont* font = loader.Load("Font.QF", nullptr);
    ASSERT_NE(nullptr, font);

    StartPixelFrame();
    font->DrawChar(20, 30, 'A');
    ExpectLit(DiagonalPixels(20, 30, 2, 3), "DrawChar");

    // The string moves on by each glyph's advance, and code 200 reaches this font's own
    // glyph through a string as it does through DrawChar.
    StartPixelFrame();
    font->DrawText(20, 30, "A\xC8");
    std::vector<std::pair<int, int>> two = DiagonalPixels(20, 30, 2, 3);
    for (auto p : DiagonalPixels(31, 30, 0, 0)) {
        two.push_back(p);
    }
    ExpectLit(two, "DrawText");
    delete font;
}

TEST_F(BitmapFontTest, TextOperationsSetTheRasterPositionAndBoundPrintf)
{
    WriteFile("Font.QF", MakeFont({Diagonal('A', 0, 0, 7), Diagonal('B', 0, 0, 5)}));
    QBitmapFont* font = loader.Load("Font.QF", nullptr);
    ASSERT_NE(nullptr, font);
    StartPixelFrame();
    float at[3] = {3.5f, 4, 0};
    // Half-pixel x positions tell the float overloads from the integer ones.
    const std::pair<std::function<void()>, float> calls[] = {
        {[&] { font->DrawChar(10, 10, 'A'); }, 17}, {[&] { font->DrawChar(10.5f, 10.0f, 'B'); }, 15.5f},
        {[&] { font->DrawChar(9.5f, 10.0f, 0.0f, 'A'); }, 16.5f}, {[&] { font->DrawChar(at, 'A'); }, 10.5f},
        {[&] { font->DrawText(1, 2, "AB"); }, 13}, {[&] { font->DrawText(2.5f, 2.0f, "AB"); }, 14.5f},
        {[&] { font->DrawText(3.5f, 2.0f, 0.0f, "AB"); }, 15.5f}, {[&] { font->DrawText(at, "AB"); }, 15.5f},
        {[&] { font->DrawText("A"); }, 22.5f},  // goes on from where the last text ended
        {[&] { font->Printf(0, 0, "%s%c", "AB", 'A'); }, 19}, {[&] { font->Printf(1.5f, 0.0f, "%d", 5); }, 1.5f},
        {[&] { font->Printf(1.5f, 0.0f, 0.0f, "A"); }, 8.5f}, {[&] { font->Printf(at, "B"); }, 8.5f},
    };
    for (size_t i = 0; i < sizeof(calls) / sizeof(calls[0]); ++i) {
        calls[i].first();
        EXPECT_EQ(calls[i].second, RasterX()) << "call " << i;
    }

    ASSERT_EQ(256u, font->GetPrintBufferSize());
    font->Printf(0, 0, "%s", std::string(400, 'B').c_str());
    EXPECT_EQ(std::string(255, 'B'), font->GetPrintBuffer()) << "long output is cut at the buffer's end";
    EXPECT_EQ(255.0f * 5, RasterX()) << "and 255 characters drawn";
    delete font;
}

TEST_F(BitmapFontTest, GlyphRecordsBecomeMetricsAndMeasures)
{
    Glyph tall{'a', 8, 12, 0, 3, 9, Bytes(12, 0xFF)};
    Glyph low{'g', 8, 10, 0, 5, 7, Bytes(10, 0xFF)};
    Glyph high{0xE9, 8, 20, 0, 0, 30, Bytes(20, 0xFF)};
    Glyph empty{' ', 0, 0, 0, 0, 4, {}};
    Glyph later{'a', 8, 4, 0, 1, 6, Bytes(4, 0xFF)};
    Glyph big{'W', 32, 65, 0, 0, 33, Bytes(260, 0x81)};
    EXPECT_EQ(256, loader.GetScratchSize());
    WriteFile("Font.QF", MakeFont({tall, low, high, empty, big}));
    QBitmapFont* font = loader.Load("Font.QF", nullptr);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(260, loader.GetScratchSize()) << "grown for the 32 x 65 glyph";
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(1, alignment) << "the font loader leaves the unpack alignment at 1";
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    EXPECT_EQ(9u, font->GetMaxAscent("a"));
    EXPECT_EQ(3u, font->GetMaxDescent("a"));
    EXPECT_EQ(12u, font->GetTextHeight("a"));
    EXPECT_EQ(9u + 4 + 7, font->GetTextWidth("a g"));
    EXPECT_EQ(9u, font->GetMaxAscent("ag"));
    EXPECT_EQ(5u, font->GetMaxDescent("ag"));
    EXPECT_EQ(14u, font->GetTextHeight("ag"));
    EXPECT_EQ(39u, font->GetTextWidth("a\xE9")) << "codes above 127 index by the unsigned byte";
    EXPECT_EQ(20u, font->GetMaxAscent("\xE9"));
    EXPECT_EQ(0u, font->GetTextWidth(""));
    EXPECT_EQ(0u, font->GetTextHeight(""));
    delete font;

    WriteFile("a.pak", MakeArchive({{"Twice.QF", MakeFont({tall, later})}}));
    font = loader.Load("Twice.QF", "a.pak");
    ASSERT_NE(nullptr, font) << "loaded from an archive entry";
    EXPECT_EQ(6u, font->GetTextWidth("a")) << "a code that occurs twice takes the later record";
    delete font;
    QPackFile pack("a.pak");
    EXPECT_EQ(nullptr, loader.Load("Other.QF", pack));

    WriteFile("None.QF", MakeFont({}));
    font = loader.Load("None.QF", nullptr);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(0u, font->GetTextWidth("abc"));
    EXPECT_EQ(0u, font->GetTextHeight("abc"));
    StartPixelFrame();
    font->DrawText(10, 10, "abc");
    ExpectLit({}, "a font without glyphs draws nothing");
    delete font;
}

TEST_F(BitmapFontTest, BadResourcesAreRefusedAndTheirListsFreed)
{
    Bytes good = MakeFont({Diagonal('A', 0, 0, 11), Diagonal('B', 0, 0, 11)});
    struct Case {
        const char* what;
        Bytes file;
    };
    std::vector<Case> cases = {
        {"short magic", {'Q', 'B', 'M', 'F', 'O', 'N'}},
        {"wrong magic", good},
        {"ends before the glyph count", Bytes(good.begin(), good.begin() + 7)},
        {"ends inside a glyph header", Bytes(good.begin(), good.begin() + 11)},
        {"ends inside a bitmap", Bytes(good.begin(), good.begin() + 20)},
        {"ends inside the last bitmap", Bytes(good.begin(), good.end() - 1)},
    };
    cases[1].file[6] = 'X';
    EXPECT_EQ(nullptr, loader.Load("missing.QF", nullptr));

    // Each refused load must give back the 256 lists it made: count the list names in
    // use around where GL handed them out before and after every refused load.
    WriteFile("good.QF", good);
    QBitmapFont* font = loader.Load("good.QF", nullptr);
    ASSERT_NE(nullptr, font);
    GLuint end = font->GetListBase() + 256 * 64;
    delete font;
    auto listsInUse = [end] {
        int count = 0;
        for (GLuint list = 1; list < end; ++list) {
            count += glIsList(list) ? 1 : 0;
        }
        return count;
    };
    int before = listsInUse();
    for (const Case& c : cases) {
        WriteFile("bad.QF", c.file);
        EXPECT_EQ(nullptr, loader.Load("bad.QF", nullptr)) << c.what;
        EXPECT_EQ(before, listsInUse()) << c.what << ": lists of the refused load are still held";
    }
}
