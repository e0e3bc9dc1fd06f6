// Fuzzes the conversion of a rendered glyph into a bitmap-font record. The first bytes
// choose the bitmap's width, rows, pixel mode and the glyph's placement; the rest are its
// pixels. An accepted glyph must give a record of exactly its declared size whose rows
// light the very pixels the bitmap lights; a refused one must append nothing.
#include <cstdlib>
#include <cstring>

#include "tools/qfont/GlyphRecord.h"

namespace {
void Check(bool promise)
{
    if (!promise) {
        abort();
    }
}

bool Lit(const FT_Bitmap& bitmap, unsigned x, unsigned y)
{
    const unsigned char* row = bitmap.buffer + size_t(y) * unsigned(bitmap.pitch);
    return bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x / 8] >> (7 - x % 8)) & 1 : row[x] >= 128;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8) {
        return 0;
    }
    FT_Bitmap bitmap;
    memset(&bitmap, 0, sizeof bitmap);
    bitmap.width = unsigned(data[0]) + (data[1] & 1 ? 256u : 0u);  // past 255 must be refused
    bitmap.pixel_mode = data[1] & 2 ? FT_PIXEL_MODE_MONO : data[1] & 4 ? FT_PIXEL_MODE_GRAY : FT_PIXEL_MODE_LCD;
    long left = int8_t(data[2]) * (data[1] & 8 ? 4 : 1);
    long top = int8_t(data[3]) * (data[1] & 16 ? 4 : 1);
    long advance = long(int16_t(uint16_t(data[4] | data[5] << 8))) * 8;
    unsigned wantRows = data[6];
    const unsigned code = data[7];
    std::vector<uint8_t> pixels(data + 8, data + size);
    bitmap.pitch = int(bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (bitmap.width + 7) / 8 : bitmap.width);
    unsigned haveRows = bitmap.pitch == 0 ? wantRows : unsigned(pixels.size() / unsigned(bitmap.pitch));
    bitmap.rows = wantRows < haveRows ? wantRows : haveRows;
    bitmap.buffer = pixels.data();

    std::vector<uint8_t> out = {0xaa};
    std::string problem;
    bool added = AppendGlyphRecord(code, bitmap, left, top, advance, out, problem);
    Check(added == problem.empty());
    if (!added) {
        Check(out.size() == 1);
        return 0;
    }
    Check(bitmap.pixel_mode != FT_PIXEL_MODE_LCD || bitmap.rows == 0);
    const unsigned width = out[2], height = out[3], rowBytes = (width + 7) / 8;
    Check(out[1] == code);
    Check(width == bitmap.width);
    Check(height >= bitmap.rows);
    Check(out.size() == 7 + size_t(rowBytes) * height);
    Check(long(int8_t(out[4])) == -left);
    Check(out[6] == uint8_t((advance + 32) >> 6));
    // The ink sits `yorig` rows above the record's first (bottom) row, less the rows padded
    // below a glyph that is wholly above the baseline.
    long firstInkRow = long(int8_t(out[5])) - (long(bitmap.rows) - top);
    Check(firstInkRow >= 0 && firstInkRow + long(bitmap.rows) <= long(height));
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            long inkRow = long(y) - firstInkRow;  // rows counted from the bottom of the ink
            bool want = inkRow >= 0 && inkRow < long(bitmap.rows) && Lit(bitmap, x, bitmap.rows - 1 - unsigned(inkRow));
            bool got = (out[7 + size_t(y) * rowBytes + x / 8] >> (7 - x % 8)) & 1;
            Check(want == got);
        }
    }
    return 0;
}
