// qfont: renders a font FreeType can read (TTF, OTF, PCF, BDF, ...) at one pixel size
// into a QBMFONT bitmap font: one glBitmap glyph per character code, rows bottom to top,
// origins and advance taken from FreeType so text drawn with it reads as the font does.
// Exit code 0 on success, 1 on any failure.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "math/NumberText.h"
#include "tools/common/ToolFail.h"
#include "tools/common/ToolVersion.h"
#include "tools/common/WholeFile.h"

namespace {
const char usage[] =
    "usage: qfont [--size PIXELS] [--range FIRST-LAST] FONTFILE OUTPUT.QF\n"
    "\n"
    "Renders FONTFILE (any font FreeType reads: TTF, OTF, PCF, BDF, ...) at PIXELS\n"
    "pixels per em (default 16; a bitmap font uses its strike nearest to that) into a\n"
    "QBMFONT bitmap font for the character codes FIRST to LAST (default 32-126; at most\n"
    "255 codes, each taken as the Unicode code point of the same number, so 160-255 are\n"
    "Latin-1). Codes the font has no glyph for are left out. Glyphs are monochrome.\n"
    "  --help   shows this text\n"
    "  --version  prints the version\n"
    "The output file is written whole or not at all.\n";

// Chooses the size: scalable fonts at the pixel size, bitmap fonts at their nearest strike.
bool SetSize(FT_Face face, long pixels)
{
    if (FT_IS_SCALABLE(face)) {
        return FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels)) == 0;
    }
    if (face->num_fixed_sizes <= 0) {
        return false;
    }
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i) {
        if (labs(face->available_sizes[i].height - pixels) < labs(face->available_sizes[best].height - pixels)) {
            best = i;
        }
    }
    return FT_Select_Size(face, best) == 0;
}

bool IsSet(const FT_Bitmap& bitmap, unsigned x, unsigned y)
{
    const unsigned char* row = bitmap.buffer + long(y) * bitmap.pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        return (row[x >> 3] & (0x80 >> (x & 7))) != 0;
    }
    return row[x] >= 128;  // grey strikes: half coverage or more lights the pixel
}

// Appends one glyph record; false with a reason when the glyph doesn't fit the format.
bool AddGlyph(FT_Face face, unsigned code, std::vector<uint8_t>& out, std::string& problem)
{
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows != 0) {
        problem = "glyph " + std::to_string(code) + " has an unsupported pixel mode";
        return false;
    }
    long xorig = -slot->bitmap_left;
    long yorig = long(bitmap.rows) - slot->bitmap_top;
    // The font's measures take descent = yorig and ascent = height - yorig as unsigned
    // bytes, so a glyph wholly above the baseline (quotes, '^') or wholly below it ('_')
    // would measure as over 200 pixels tall. Blank rows out to the baseline draw the same
    // and keep both measures true.
    unsigned padRows = yorig < 0 ? unsigned(-yorig) : 0;  // below the ink
    if (yorig < 0) {
        yorig = 0;
    }
    unsigned topRows = long(bitmap.rows) < yorig ? unsigned(yorig - long(bitmap.rows)) : 0;  // above the ink
    unsigned height = bitmap.rows + padRows + topRows;
    long advance = (slot->advance.x + 32) >> 6;
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
struct FontOptions {
    long size = 16;   // pixels per em
    long first = 32;  // the first character code
    long last = 126;  // the last character code, first <= last
};

// Reads the options in front of the file names into `options` and moves `at` to the
// first name. False, after printing why, when an option is unknown or its value wrong.
bool ParseOptions(const std::vector<std::string>& args, FontOptions& options, size_t& at)
{
    for (at = 0; at < args.size() && args[at].rfind("--", 0) == 0; at += 2) {
        if ((args[at] == "--size" || args[at] == "--range") && at + 1 == args.size()) {
            Fail(args[at] + " wants a value (see qfont --help)");
            return false;
        }
        if (args[at] == "--size") {
            if (ParseWholeNumber(args[at + 1], 1L, 255L, options.size) != NumberText::Ok) {
                Fail("--size wants a pixel size from 1 to 255, not \"" + args[at + 1] + "\"");
                return false;
            }
        } else if (args[at] == "--range") {
            const std::string& range = args[at + 1];
            size_t dash = range.find('-');
            if (dash == std::string::npos ||
                ParseWholeNumber(range.substr(0, dash), 0L, 255L, options.first) != NumberText::Ok ||
                ParseWholeNumber(range.substr(dash + 1), 0L, 255L, options.last) != NumberText::Ok ||
                options.first > options.last) {
                Fail("--range wants FIRST-LAST with 0 <= FIRST <= LAST <= 255, not \"" + range + "\"");
                return false;
            }
            if (options.last - options.first + 1 > 255) {
                Fail("--range " + range + " holds " + std::to_string(options.last - options.first + 1) +
                     " codes; a bitmap font holds at most 255");
                return false;
            }
        } else {
            Fail("unknown option \"" + args[at] + "\" (see qfont --help)");
            return false;
        }
    }
    return true;
}

// Renders the font file's glyphs for the chosen codes into a whole QBMFONT image in
// `bytes`. False with `problem` set, naming the font file where it is at fault.
bool MakeFont(const std::string& fontPath, const FontOptions& options, std::vector<uint8_t>& bytes,
              std::string& problem)
{
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        problem = "cannot start FreeType";
        return false;
    }
    // The font is read whole first, so that only a regular file is read (a FIFO can't
    // stall the tool); FreeType then works on the bytes, which outlive the face.
    std::vector<uint8_t> fontBytes;
    if (!ReadFileWhole(fontPath, fontBytes, problem)) {
        FT_Done_FreeType(library);
        return false;
    }
    FT_Face face;
    if (FT_New_Memory_Face(library, fontBytes.data(), FT_Long(fontBytes.size()), 0, &face) != 0) {
        FT_Done_FreeType(library);
        problem = fontPath + ": not a font FreeType can read";
        return false;
    }
    bytes = {'Q', 'B', 'M', 'F', 'O', 'N', 'T', 0};
    unsigned count = 0;
    if (!SetSize(face, options.size)) {
        problem = fontPath + ": cannot be set to " + std::to_string(options.size) + " pixels";
    }
    for (long code = options.first; problem.empty() && code <= options.last; ++code) {
        if (FT_Get_Char_Index(face, FT_ULong(code)) == 0) {
            continue;
        }
        if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) {
            problem = fontPath + ": cannot render glyph " + std::to_string(code);
        } else if (!AddGlyph(face, unsigned(code), bytes, problem)) {
            problem = fontPath + ": " + problem;
        } else {
            ++count;
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!problem.empty()) {
        return false;
    }
    if (count == 0) {
        problem = fontPath + ": has no glyphs for codes " + std::to_string(options.first) + " to " +
                  std::to_string(options.last);
        return false;
    }
    bytes[7] = uint8_t(count);
    return true;
}
}  // namespace

int main(int argc, char** argv)
{
    SetToolName("qfont");
    if (PrintVersionIfAsked(argc, argv, "qfont"))
        return 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        fputs(usage, stdout);
        return 0;
    }
    FontOptions options;
    size_t at = 0;
    if (!ParseOptions(args, options, at)) {
        return 1;
    }
    if (args.size() != at + 2) {
        fputs(usage, stderr);
        return 1;
    }
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!MakeFont(args[at], options, bytes, problem) || !WriteFileWhole(args[at + 1], bytes, problem)) {
        return Fail(problem);
    }
    return 0;
}
