// qtex: makes QTEX textures (PNG in, or the built-in particle spot), shows and checks
// them, and turns a level back into a PNG. Exit code 0 on success, 1 on any failure.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "math/NumberText.h"
#include "resources/QTextureFormat.h"
#include "tools/common/PngFile.h"
#include "tools/common/ToolFail.h"
#include "tools/common/ToolInput.h"
#include "tools/common/ToolVersion.h"
#include "tools/common/WholeFile.h"
#include "tools/qtex/TextureFile.h"
#include "tools/qtex/TextureInput.h"

namespace {
const char usage[] =
    "usage: qtex [--rgb | --rgba] INPUT.png OUTPUT.qtex\n"
    "       qtex --particle [--size N] OUTPUT.qtex\n"
    "       qtex --info FILE.qtex\n"
    "       qtex --png [--level K] FILE.qtex OUTPUT.png\n"
    "\n"
    "Converts a PNG to a QTEX texture with its full mipmap chain down to 1 x 1 (box\n"
    "filter; odd and non-square sizes are fine). The texture is RGBA when the PNG has\n"
    "alpha, RGB otherwise; --rgb or --rgba chooses.\n"
    "  --particle   writes the default particle texture: a soft white round spot with a\n"
    "               smooth falloff, RGB, N x N pixels (default 128), full mipmap chain\n"
    "  --info       prints the header and levels and says what is wrong with a bad file\n"
    "  --png        writes level K (default 0) of a texture as a PNG\n"
    "  --help       shows this text\n"
    "  --version    prints the version\n"
    "Limits: a PNG of at most 268435456 pixels (16384 x 16384), sides up to 65535,\n"
    "refused from its header before it is decoded; a texture's levels up to 2147483648\n"
    "bytes (2 GiB), read as far as its header promises. An output that is the input\n"
    "file itself is refused. Output files are written whole or not at all.\n";

int WriteTexture(const TextureFile& texture, const std::string& output)
{
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!EncodeTexture(texture, bytes, problem)) {
        return Fail(ShownName(output) + ": " + problem);
    }
    if (!WriteFileWhole(output, bytes, problem)) {
        return Fail(ShownError(output, problem));
    }
    return 0;
}

int Convert(const std::string& input, const std::string& output, int components)
{
    PngImage image;
    std::string error;
    if (OutputIsInput(output, input, error) || !ReadPngFile(input, image, error, components, 65535)) {
        return Fail(error);
    }
    // PNG rows run top to bottom; the texture's row 0 is its bottom row, so a picture
    // drawn with texture coordinate t going up shows the right way round.
    try {
        MipLevel base;
        base.width = image.width;
        base.height = image.height;
        size_t row = size_t(image.width) * image.components;
        base.pixels.resize(image.pixels.size());
        for (uint32_t y = 0; y < image.height; ++y) {
            memcpy(&base.pixels[y * row], &image.pixels[(image.height - 1 - y) * row], row);
        }
        TextureFile texture;
        texture.components = image.components;
        texture.levels = BuildMipChain(base, image.components);
        return WriteTexture(texture, output);
    } catch (const std::bad_alloc&) {
        return Fail(ShownName(input) + ": too large to convert in the memory available");
    }
}

int Particle(uint32_t size, const std::string& output)
{
    TextureFile texture;
    texture.components = 3;
    texture.levels = BuildMipChain(MakeParticleSpot(size), 3);
    return WriteTexture(texture, output);
}

int Info(const std::string& path)
{
    std::vector<uint8_t> bytes;
    uint64_t fileBytes = 0;
    std::string error;
    if (!ReadTextureBytes(path, bytes, fileBytes, error)) {
        return Fail(error);
    }
    TextureFile texture;
    int version = 0;
    std::vector<std::string> problems;
    bool good = DecodeTexture(bytes, fileBytes, texture, version, problems);
    const std::string shown = ShownName(path);
    if (version >= 0) {
        printf("%s: QTEX version %d (0x%04x), %d components (%s), %zu levels, %llu bytes\n", shown.c_str(), version,
               version, texture.components,
               texture.components == 4   ? "RGBA"
               : texture.components == 3 ? "RGB"
                                         : "unknown",
               size_t(ParseTextureHeader(bytes.data(), bytes.size()).levelCount),
               static_cast<unsigned long long>(fileBytes));
    }
    for (size_t k = 0; k < texture.levels.size(); ++k) {
        const MipLevel& level = texture.levels[k];
        printf("  level %zu: %u x %u, %zu bytes\n", k, level.width, level.height, level.pixels.size());
    }
    for (const std::string& problem : problems) {
        Fail(shown + ": " + problem);
    }
    return good ? 0 : 1;
}

int ToPng(const std::string& path, uint32_t levelIndex, const std::string& output)
{
    std::vector<uint8_t> bytes;
    uint64_t fileBytes = 0;
    std::string error;
    if (OutputIsInput(output, path, error) || !ReadTextureBytes(path, bytes, fileBytes, error)) {
        return Fail(error);
    }
    TextureFile texture;
    int version = 0;
    std::vector<std::string> problems;
    DecodeTexture(bytes, fileBytes, texture, version, problems);
    const std::string shown = ShownName(path);
    const std::string name = "level " + std::to_string(levelIndex);
    if (levelIndex >= texture.levels.size()) {
        return Fail(shown + ": has no " + name + (problems.empty() ? "" : " (" + problems.front() + ")"));
    }
    const MipLevel& level = texture.levels[levelIndex];
    if (level.width == 0 || level.height == 0) {
        return Fail(shown + ": " + name + " is " + std::to_string(level.width) + " x " + std::to_string(level.height) +
                    ": it has no pixels to write as a PNG");
    }
    if (!WritePng(output, level.width, level.height, texture.components, level.pixels.data(), error, true)) {
        return Fail(ShownError(output, error));
    }
    return 0;
}
// Reads "FLAG N" when it follows the mode at args[1]: N in low..high goes to `value` and
// `at` moves past it. False (after printing why) when the flag is there with a bad value.
bool OptionalCount(const std::vector<std::string>& args, const char* flag, uint32_t low, uint32_t high, uint32_t& value,
                   size_t& at)
{
    if (args.size() <= 1 || args[1] != flag) {
        return true;
    }
    std::string text = args.size() > 2 ? args[2] : "";
    if (ParseWholeNumber(text, low, high, value) != NumberText::Ok) {
        Fail(std::string(flag) + " wants a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
             ", not \"" + ShownName(text) + "\"");
        return false;
    }
    at = 3;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    SetToolName("qtex");
    if (PrintVersionIfAsked(argc, argv, "qtex"))
        return 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        fputs(usage, stderr);
        return 1;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        fputs(usage, stdout);
        return 0;
    }
    if (args[0] == "--info") {
        if (args.size() != 2) {
            return Fail("--info takes one file (see qtex --help)");
        }
        return Info(args[1]);
    }
    if (args[0] == "--particle") {
        uint32_t size = 128;
        size_t at = 1;
        if (!OptionalCount(args, "--size", 1, 4096, size, at)) {
            return 1;
        }
        if (args.size() != at + 1) {
            return Fail("--particle takes one output file (see qtex --help)");
        }
        return Particle(uint32_t(size), args[at]);
    }
    if (args[0] == "--png") {
        uint32_t level = 0;
        size_t at = 1;
        if (!OptionalCount(args, "--level", 0, 254, level, at)) {
            return 1;
        }
        if (args.size() != at + 2) {
            return Fail("--png takes a texture and an output PNG (see qtex --help)");
        }
        return ToPng(args[at], level, args[at + 1]);
    }
    int components = 0;
    size_t at = 0;
    if (args[0] == "--rgb" || args[0] == "--rgba") {
        components = args[0] == "--rgb" ? 3 : 4;
        at = 1;
    }
    if (args.size() != at + 2 || args[at].rfind("--", 0) == 0) {
        return Fail("expected INPUT.png OUTPUT.qtex (see qtex --help)");
    }
    return Convert(args[at], args[at + 1], components);
}
