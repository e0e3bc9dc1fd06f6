#pragma once
// One glyph of a QBMFONT bitmap font made from a glyph FreeType rendered: its record
// (code, width, height, x and y origin, advance, one byte each) and its glBitmap rows,
// bottom row first, most significant bit leftmost. Pure conversion; prints nothing.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <string>
#include <vector>

// Appends the record of the glyph whose bitmap is `bitmap` (monochrome or grey, rows top
// first as FreeType gives them), drawn `left` pixels right of the pen and with its top
// row `top` pixels above the baseline, moving the pen `advance` (26.6 fixed point). A
// glyph wholly above or below the baseline gets blank rows out to it. False with a
// reason in `problem`, and nothing appended, when the pixel mode is neither or the
// glyph doesn't fit the format's bytes.
bool AppendGlyphRecord(unsigned code, const FT_Bitmap& bitmap, long left, long top, long advance,
                       std::vector<uint8_t>& out, std::string& problem);
