// Assets made by the tools, used through the loaders with real GL: a font's glyphs light
// exactly the pixels of FreeType's own bitmaps, and the default assets of the build load.
#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include "resources/QBitmapFont.h"
#include "resources/QBitmapFontLoader.h"
#include "resources/QTexture.h"
#include "tests/resources/GlEnvironment.h"
#include "tests/resources/TestFiles.h"
#include "tests/tools/ToolRun.h"

namespace {
const char* const monoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
const char* const sansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The pixels FreeType lights for the glyph with its origin at (x, y), in GL's
// bottom-up window coordinates; also its advance.
std::vector<uint8_t> FreeTypePixels(const char* fontPath, int size, unsigned long code, int x, int y, int& advance)
{
    std::vector<uint8_t> lit(glTestSize * glTestSize, 0);
    FT_Library library;
    FT_Face face;
    EXPECT_EQ(0, FT_Init_FreeType(&library));
    EXPECT_EQ(0, FT_New_Face(library, fontPath, 0, &face));
    EXPECT_EQ(0, FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)));
    EXPECT_EQ(0, FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME));
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    EXPECT_EQ(FT_PIXEL_MODE_MONO, bitmap.pixel_mode);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        for (unsigned column = 0; column < bitmap.width; ++column) {
            if (bitmap.buffer[row * bitmap.pitch + column / 8] & (0x80 >> (column % 8))) {
                int px = x + face->glyph->bitmap_left + int(column);
                int py = y + face->glyph->bitmap_top - 1 - int(row);
                lit[py * glTestSize + px] = 255;
            }
        }
    }
    advance = int((face->glyph->advance.x + 32) >> 6);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return lit;
}

class ToolsGlTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};
}  // namespace

TEST_F(ToolsGlTest, FontGlyphsMatchFreeTypesBitmaps)
{
    struct Case {
        const char* font;
        const char* range;
        unsigned char code;
    };
    // '"' lies wholly above the baseline and '_' wholly below it.
    const Case cases[] = {{monoFont, "32-126", 'A'}, {monoFont, "32-126", 'g'}, {monoFont, "32-126", '"'},
                          {monoFont, "32-126", '_'}, {sansFont, "160-255", 0xE9}};
    for (const Case& c : cases) {
        ToolResult made = RunTool(QFONT_TOOL, {"--size", "16", "--range", c.range, c.font, "Font.QF"});
        ASSERT_EQ(0, made.exitCode) << made.output;
        QBitmapFontLoader loader(256);
        QBitmapFont* font = loader.Load("Font.QF", nullptr);
        ASSERT_NE(nullptr, font);
        int advance = 0;
        std::vector<uint8_t> expected = FreeTypePixels(c.font, 16, c.code, 20, 20, advance);
        char text[2] = {char(c.code), 0};
        StartPixelFrame();
        font->DrawText(20, 20, text);  // codes above 127 go through strings too
        EXPECT_EQ(20.0f + advance, RasterX()) << "advance of code " << int(c.code);
        std::vector<uint8_t> drawn = ReadRed();
        EXPECT_NE(std::vector<uint8_t>(drawn.size(), 0), expected) << "code " << int(c.code) << " has ink";
        for (int y = 0; y < glTestSize; ++y) {
            for (int x = 0; x < glTestSize; ++x) {
                EXPECT_EQ(expected[y * glTestSize + x], drawn[y * glTestSize + x])
                    << "code " << int(c.code) << " pixel " << x << "," << y;
            }
        }
        delete font;
    }
}

TEST_F(ToolsGlTest, DefaultAssetsLoadAndFitTheOverlay)
{
    QBitmapFontLoader loader(256);
    QBitmapFont* font = loader.Load(QP_ASSET_DIR "/Font.QF", nullptr);
    ASSERT_NE(nullptr, font);
    const char* all = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
    EXPECT_LE(font->GetTextHeight(all), 24u) << "a line fits between menu lines 24 pixels apart";
    EXPECT_GE(font->GetTextHeight("Ag"), 12u);
    EXPECT_EQ(95u * font->GetTextWidth("M"), font->GetTextWidth(all)) << "monospaced";
    delete font;

    QTexture texture(128, 128, 3, 8);
    ASSERT_TRUE(texture.Load(QP_ASSET_DIR "/Particle.qtex", nullptr));
    EXPECT_EQ(49152u, texture.GetBufferBytes()) << "128 x 128 RGB";
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 7, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(1, width);
}
