#include "tools/qtex/TextureInput.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "resources/QTextureFormat.h"
#include "tools/common/ToolInput.h"

namespace {
// The length of the file's first part that the header and level sizes describe: the
// header, then each level's size fields and pixels, stopping where the file ends. The
// level sizes are read one by one; no pixel is read.
bool PromisedLength(int fd, const std::string& path, uint64_t fileBytes, const QTextureHeader& header, uint64_t& length,
                    std::string& error)
{
    length = TEXTURE_HEADER_SIZE;
    if (!TextureComponentsValid(header.components)) {
        return true;  // the decoder stops at the header
    }
    for (unsigned k = 0; k < header.levelCount && length + TEXTURE_LEVEL_HEADER_SIZE <= fileBytes; ++k) {
        unsigned char sizes[TEXTURE_LEVEL_HEADER_SIZE];
        uint16_t width = 0;
        uint16_t height = 0;
        if (!ReadInputAt(fd, path, length, sizes, sizeof sizes, error)) {
            return false;
        }
        ParseTextureLevel(sizes, sizeof sizes, width, height);
        length += TEXTURE_LEVEL_HEADER_SIZE + TextureLevelBytes(width, height, header.components);
    }
    if (length > fileBytes) {
        length = fileBytes;
    }
    return true;
}
}  // namespace

bool ReadTextureBytes(const std::string& path, std::vector<uint8_t>& bytes, uint64_t& fileBytes, std::string& error,
                      uint64_t limit)
{
    bytes.clear();
    int fd = OpenInput(path, fileBytes, error);
    if (fd < 0) {
        return false;
    }
    unsigned char start[TEXTURE_HEADER_SIZE];
    size_t got = fileBytes < sizeof start ? size_t(fileBytes) : sizeof start;
    bool read = ReadInputAt(fd, path, 0, start, got, error);
    QTextureHeader header = ParseTextureHeader(start, got);
    uint64_t length = got;
    if (read && header.hasLayout) {
        read = PromisedLength(fd, path, fileBytes, header, length, error);
    }
    if (read && length > limit) {
        error = ShownName(path) + ": its levels take " + std::to_string(length) +
                " bytes; qtex reads textures of at most " + std::to_string(limit) + " bytes";
        read = false;
    }
    if (read) {
        try {
            bytes.resize(size_t(length));
        } catch (const std::bad_alloc&) {
            error = ShownName(path) + ": too large to read in the memory available";
            read = false;
        }
    }
    read = read && ReadInputAt(fd, path, 0, bytes.data(), bytes.size(), error);
    close(fd);
    if (!read) {
        bytes.clear();
    }
    return read;
}

bool ReadPngStream(FILE* file, const std::string& shownName, PngImage& image, std::string& error, int wantComponents,
                   uint32_t maxSide, uint64_t maxPixels)
{
    png_image png;
    memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&png, file)) {
        error = shownName + ": not a readable PNG file (" + png.message + ")";
        png_image_free(&png);
        return false;
    }
    // The header alone can promise billions of pixels (a few hundred compressed bytes
    // can hold them): check before decoding or allocating for them.
    std::string size = std::to_string(png.width) + " x " + std::to_string(png.height) + " pixels";
    uint64_t pixels = uint64_t(png.width) * png.height;
    if (maxSide != 0 && (png.width > maxSide || png.height > maxSide)) {
        error = shownName + ": image is " + size + "; a side can be at most " + std::to_string(maxSide);
    } else if (pixels > maxPixels) {
        error = shownName + ": image is " + size + " (" + std::to_string(pixels) + "); qtex converts at most " +
                std::to_string(maxPixels) + " pixels";
    }
    if (!error.empty()) {
        png_image_free(&png);
        return false;
    }
    int components = wantComponents != 0 ? wantComponents : (png.format & PNG_FORMAT_FLAG_ALPHA) != 0 ? 4 : 3;
    png.format = components == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(pixels) * size_t(components));
    } catch (const std::bad_alloc&) {
        error = shownName + ": image of " + size + " is too large for the memory available";
        png_image_free(&png);
        return false;
    }
    if (!png_image_finish_read(&png, nullptr, bytes.data(), 0, nullptr)) {
        error = shownName + ": corrupt PNG data (" + png.message + ")";
        png_image_free(&png);
        return false;
    }
    image.width = png.width;
    image.height = png.height;
    image.components = components;
    image.pixels.swap(bytes);
    return true;
}

bool ReadPngFile(const std::string& path, PngImage& image, std::string& error, int wantComponents, uint32_t maxSide,
                 uint64_t maxPixels)
{
    uint64_t fileBytes = 0;
    int fd = OpenInput(path, fileBytes, error);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "rb");
    if (fd >= 0 && file == nullptr) {
        error = ShownName(path) + ": " + strerror(errno);
        close(fd);
    }
    if (file == nullptr) {
        return false;
    }
    bool read = ReadPngStream(file, ShownName(path), image, error, wantComponents, maxSide, maxPixels);
    fclose(file);
    return read;
}
