// The bitmap font against real GL: glyph pixels drawn at raster positions, strings and
// formatted text, the measures, and resources that must be refused.
#include <gtest/gtest.h>

#include <memory>

#include "resources/QBitmapFont.h"
#include "resources/QBitmapFontLoader.h"
#include "resources/QPackFile.h"
#include "tests/resources/GlTest.h"
#include "tests/support/TestFiles.h"

namespace {
struct Glyph {
    uint8_t code, width, height, xorig, yorig, advance;  // the origins are stored as signed bytes
    Bytes bitmap;                                        // rows bottom to top, (width + 7) / 8 bytes each
};

Bytes MakeFont(const std::vector<Glyph>& glyphs)
{
    Bytes bytes = {'Q', 'B', 'M', 'F', 'O', 'N', 'T', uint8_t(glyphs.size())};
    for (const Glyph& g : glyphs) {
        bytes.insert(bytes.end(), {g.code, g.width, g.height, g.xorig, g.yorig, g.advance});
        bytes.insert(bytes.end(), g.bitmap.begin(), g.bitmap.end());
    }
    return bytes;
}

// A 9 x 10 glyph: row r (from the bottom) lights pixel 8 and, in rows 0 to 7, pixel r.
Glyph Diagonal(uint8_t code, uint8_t xorig, uint8_t yorig, uint8_t advance)
{
    Glyph g{code, 9, 10, xorig, yorig, advance, {}};
    for (int r = 0; r < 10; ++r)
        g.bitmap.insert(g.bitmap.end(), {uint8_t(r < 8 ? 0x80 >> r : 0), 0x80});
    return g;
}

// Adds the pixels Diagonal lights with the raster position at (x, y).
void LightDiagonal(Picture& picture, int x, int y, int xorig, int yorig)
{
    for (int r = 0; r < 10; ++r) {
        picture[size_t((y - yorig + r) * glTestSize + x - xorig + 8)] = 255;
        if (r < 8)
            picture[size_t((y - yorig + r) * glTestSize + x - xorig + r)] = 255;
    }
}

}  // namespace

TEST(QBitmapFont, TextLightsItsPixelsAndMovesTheRasterPosition)
{
    WorkInScratchFolder here;
    WriteBytes("Font.QF", MakeFont({Diagonal('A', 2, 3, 7), Diagonal(0xC8, 0, 0, 5)}));
    QBitmapFontLoader loader(256);
    std::unique_ptr<QBitmapFont> font(loader.Load("Font.QF", nullptr));
    ASSERT_NE(nullptr, font);
    Picture picture(glTestSize * glTestSize);
    LightDiagonal(picture, 20, 30, 2, 3);
    StartPixelFrame();
    font->DrawChar(20, 30, 'A');
    ExpectPicture(picture, "DrawChar");
    // A string moves on by each glyph's advance, and code 200 reaches this font's own
    // glyph through a string as it does through DrawChar.
    LightDiagonal(picture, 27, 30, 0, 0);
    StartPixelFrame();
    font->DrawText(20, 30, "A\xC8");
    ExpectPicture(picture, "DrawText");
    // Measures index their table by the unsigned byte too.
    EXPECT_EQ(7u + 5, font->GetTextWidth("A\xC8"));
    EXPECT_EQ(10u, font->GetMaxAscent("A\xC8"));
    EXPECT_EQ(3u, font->GetMaxDescent("A\xC8"));
    EXPECT_EQ(13u, font->GetTextHeight("A\xC8"));
    EXPECT_EQ(0u, font->GetTextWidth("") + font->GetTextHeight(""));
    // Text goes on from where the last text ended. Printf formats with a bound: output longer
    // than its buffer is cut at the buffer's end.
    float at[3] = {3.5f, 4, 0};
    font->DrawText(at, "A");
    font->DrawText("\xC8");
    EXPECT_EQ(3.5f + 7 + 5, RasterX());
    font->Printf(0, 0, "%s", std::string(400, '\xC8').c_str());
    EXPECT_EQ(std::string(255, '\xC8'), font->GetPrintBuffer());
    EXPECT_EQ(255.0f * 5, RasterX()) << "and 255 characters drawn";
}

TEST(QBitmapFont, LoaderReadsEveryRecordAndRefusesBadResources)
{
    WorkInScratchFolder here;
    QBitmapFontLoader loader(256);
    // A glyph larger than the scratch buffer grows it; a code met twice takes the later record.
    Glyph big{'W', 32, 65, 0, 0, 33, Bytes(260, 0x81)}, later{'A', 8, 4, 0, 1, 6, Bytes(4, 0xFF)};
    Bytes good = MakeFont({Diagonal('A', 0, 0, 11), big, later}), wrongMagic = good;
    WriteBytes("a.pak", MakeArchive({{"Font.QF", good}}));
    QPackFile pack("a.pak");
    EXPECT_EQ(nullptr, loader.Load("Other.QF", pack));
    std::unique_ptr<QBitmapFont> font(loader.Load("Font.QF", pack));
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(260, loader.GetScratchSize());
    EXPECT_EQ(6u + 33, font->GetTextWidth("AW"));
    EXPECT_EQ(65u + 1, font->GetTextHeight("AW"));

    wrongMagic[6] = 'X';
    const std::pair<const char*, Bytes> cases[] = {
        {"short magic", {'Q', 'B', 'M', 'F', 'O', 'N'}},
        {"wrong magic", wrongMagic},
        {"ends before the glyph count", Bytes(good.begin(), good.begin() + 7)},
        {"ends inside a glyph header", Bytes(good.begin(), good.begin() + 11)},
        {"ends inside a bitmap", Bytes(good.begin(), good.begin() + 20)},
        {"ends inside the last bitmap", Bytes(good.begin(), good.end() - 1)},
    };
    EXPECT_EQ(nullptr, loader.Load("missing.QF", nullptr));
    // A refused load gives back the 256 lists it made: the count of list names in use, up
    // to well past where GL hands out new ones, stays as it was.
    GLuint end = font->GetListBase() + 256 * 64;
    auto listsInUse = [end] {
        int count = 0;
        for (GLuint list = 1; list < end; ++list)
            count += glIsList(list) ? 1 : 0;
        return count;
    };
    int before = listsInUse();
    for (const auto& c : cases) {
        WriteBytes("bad.QF", c.second);
        EXPECT_EQ(nullptr, loader.Load("bad.QF", nullptr)) << c.first;
        EXPECT_EQ(before, listsInUse()) << c.first << ": lists of the refused load are still held";
    }
}
