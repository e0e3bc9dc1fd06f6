// qfont: renders a font FreeType can read (TTF, OTF, PCF, BDF, ...) at one pixel size
// into a QBMFONT bitmap font: one glBitmap glyph per character code, rows bottom to top,
// origins and advance taken from FreeType so text drawn with it reads as the font does.
// Exit code 0 on success, 1 on any failure.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "math/NumberText.h"
#include "tools/common/ToolFail.h"
#include "tools/common/ToolInput.h"
#include "tools/common/ToolVersion.h"
#include "tools/common/WholeFile.h"
#include "tools/qfont/GlyphRecord.h"

namespace {
// The largest font file qfont opens (256 MiB); FreeType reads only what it needs of it.
const uint64_t maxFontBytes = uint64_t(256) << 20;

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
    "Limits: a font file of at most 268435456 bytes (256 MiB), of which FreeType reads\n"
    "only what it needs. An output that is the font file itself is refused. The output\n"
    "file is written whole or not at all.\n";

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

// FreeType reads the font through this: only the bytes it asks for, from the file
// descriptor qfont opened (a regular file, so a FIFO can't stall it), never the whole file.
unsigned long ReadFontBytes(FT_Stream stream, unsigned long offset, unsigned char* buffer, unsigned long count)
{
    if (count == 0) {
        return offset <= stream->size ? 0 : 1;  // a seek: 0 when it lands within the file
    }
    std::string error;
    unsigned long left = offset < stream->size ? stream->size - offset : 0;
    unsigned long want = count < left ? count : left;
    int fd = int(stream->descriptor.value);
    return ReadInputAt(fd, "", offset, buffer, want, error) ? want : 0;
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
                Fail("--size wants a pixel size from 1 to 255, not \"" + ShownName(args[at + 1]) + "\"");
                return false;
            }
        } else if (args[at] == "--range") {
            const std::string& range = args[at + 1];
            size_t dash = range.find('-');
            if (dash == std::string::npos ||
                ParseWholeNumber(range.substr(0, dash), 0L, 255L, options.first) != NumberText::Ok ||
                ParseWholeNumber(range.substr(dash + 1), 0L, 255L, options.last) != NumberText::Ok ||
                options.first > options.last) {
                Fail("--range wants FIRST-LAST with 0 <= FIRST <= LAST <= 255, not \"" + ShownName(range) + "\"");
                return false;
            }
            if (options.last - options.first + 1 > 255) {
                Fail("--range " + range + " holds " + std::to_string(options.last - options.first + 1) +
                     " codes; a bitmap font holds at most 255");
                return false;
            }
        } else {
            Fail("unknown option \"" + ShownName(args[at]) + "\" (see qfont --help)");
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
    const std::string shown = ShownName(fontPath);
    uint64_t fontBytes = 0;
    int fd = OpenInput(fontPath, fontBytes, problem);
    if (fd >= 0 && fontBytes > maxFontBytes) {
        problem = shown + ": is " + std::to_string(fontBytes) + " bytes; qfont reads fonts of at most " +
                  std::to_string(maxFontBytes);
    }
    // FreeType reads through the stream what its drivers look at; the stream and the
    // descriptor outlive the face.
    FT_StreamRec stream{};
    stream.descriptor.value = fd;
    stream.size = static_cast<unsigned long>(fontBytes);
    stream.read = ReadFontBytes;
    FT_Open_Args openArgs{};
    openArgs.flags = FT_OPEN_STREAM;
    openArgs.stream = &stream;
    FT_Face face;
    if (fd < 0 || !problem.empty() || FT_Open_Face(library, &openArgs, 0, &face) != 0) {
        FT_Done_FreeType(library);
        if (fd >= 0) {
            close(fd);
        }
        problem = problem.empty() ? shown + ": not a font FreeType can read" : problem;
        return false;
    }
    bytes = {'Q', 'B', 'M', 'F', 'O', 'N', 'T', 0};
    unsigned count = 0;
    if (!SetSize(face, options.size)) {
        problem = shown + ": cannot be set to " + std::to_string(options.size) + " pixels";
    }
    for (long code = options.first; problem.empty() && code <= options.last; ++code) {
        if (FT_Get_Char_Index(face, FT_ULong(code)) == 0) {
            continue;
        }
        if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) {
            problem = shown + ": cannot render glyph " + std::to_string(code);
        } else if (!AppendGlyphRecord(unsigned(code), face->glyph->bitmap, face->glyph->bitmap_left,
                                      face->glyph->bitmap_top, face->glyph->advance.x, bytes, problem)) {
            problem = shown + ": " + problem;
        } else {
            ++count;
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    close(fd);
    if (!problem.empty()) {
        return false;
    }
    if (count == 0) {
        problem = shown + ": has no glyphs for codes " + std::to_string(options.first) + " to " +
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
    if (OutputIsInput(args[at + 1], args[at], problem) || !MakeFont(args[at], options, bytes, problem)) {
        return Fail(problem);
    }
    if (!WriteFileWhole(args[at + 1], bytes, problem)) {
        return Fail(ShownError(args[at + 1], problem));
    }
    return 0;
}
