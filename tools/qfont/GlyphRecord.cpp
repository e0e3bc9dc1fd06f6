#include "tools/qfont/GlyphRecord.h"

namespace {
bool IsSet(const FT_Bitmap& bitmap, unsigned x, unsigned y)
{
    const unsigned char* row = bitmap.buffer + long(y) * bitmap.pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        return (row[x >> 3] & (0x80 >> (x & 7))) != 0;
    }
    return row[x] >= 128;  // grey strikes: half coverage or more lights the pixel
}
}  // namespace

bool AppendGlyphRecord(unsigned code, const FT_Bitmap& bitmap, long left, long top, long advance26,
                       std::vector<uint8_t>& out, std::string& problem)
{
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows != 0) {
        problem = "glyph " + std::to_string(code) + " has an unsupported pixel mode";
        return false;
    }
    long xorig = -left;
    long yorig = long(bitmap.rows) - top;
    // The font's measures take descent = yorig and ascent = height - yorig as unsigned
    // bytes, so a glyph wholly above the baseline (quotes, '^') or wholly below it ('_')
    // would measure as over 200 pixels tall. Blank rows out to the baseline draw the same
    // and keep both measures true.
    long padRows = yorig < 0 ? -yorig : 0;  // below the ink
    if (yorig < 0) {
        yorig = 0;
    }
    long topRows = long(bitmap.rows) < yorig ? yorig - long(bitmap.rows) : 0;  // above the ink
    long height = long(bitmap.rows) + padRows + topRows;
    long advance = (advance26 + 32) >> 6;
    if (bitmap.width > 255 || height > 255 || xorig < -128 || xorig > 127 || yorig < -128 || yorig > 127 ||
        advance < 0 || advance > 255) {
        problem = "glyph " + std::to_string(code) + " is too large for a bitmap font; try a smaller --size";
        return false;
    }
    out.push_back(uint8_t(code));
    out.push_back(uint8_t(bitmap.width));
    out.push_back(uint8_t(height));
    out.push_back(uint8_t(int8_t(xorig)));
    out.push_back(uint8_t(int8_t(yorig)));
    out.push_back(uint8_t(advance));
    unsigned rowBytes = (bitmap.width + 7) / 8;
    out.insert(out.end(), size_t(padRows) * rowBytes, 0);
    // glBitmap's first row is the bottom one; FreeType's is the top one.
    for (unsigned y = bitmap.rows; y-- > 0;) {
        for (unsigned b = 0; b < rowBytes; ++b) {
            uint8_t byte = 0;
            for (unsigned bit = 0; bit < 8; ++bit) {
                unsigned x = b * 8 + bit;
                if (x < bitmap.width && IsSet(bitmap, x, y)) {
                    byte |= uint8_t(0x80 >> bit);
                }
            }
            out.push_back(byte);
        }
    }
    out.insert(out.end(), size_t(topRows) * rowBytes, 0);
    return true;
}
