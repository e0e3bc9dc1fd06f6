#include "resources/QTextureChain.h"

#include <unistd.h>

#include <cstdint>

#include "files/RegularFile.h"
#include "resources/QTextureFormat.h"

namespace {

std::string Size(uint32_t width, uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

bool ReadAt(int fd, uint64_t offset, unsigned char* bytes, size_t count)
{
    return pread(fd, bytes, count, off_t(offset)) == ssize_t(count);
}

// Walks the level headers of the open file; the sentence as BrokenMipmapChain says.
std::string CheckLevels(int fd)
{
    unsigned char header[TEXTURE_HEADER_SIZE];
    if (!ReadAt(fd, 0, header, sizeof header))
        return "";
    const QTextureHeader h = ParseTextureHeader(header, sizeof header);
    if (!h.hasLayout || !TextureComponentsValid(h.components))
        return "";
    if (h.levelCount == 0)
        return "its mipmap chain is empty: GL draws it black";
    uint64_t at = TEXTURE_HEADER_SIZE;
    uint32_t width = 0, height = 0;
    for (uint32_t k = 0; k < h.levelCount; ++k) {
        unsigned char bytes[TEXTURE_LEVEL_HEADER_SIZE];
        uint16_t w = 0, hh = 0;
        if (!ReadAt(fd, at, bytes, sizeof bytes) || !ParseTextureLevel(bytes, sizeof bytes, w, hh))
            return "";
        if (k > 0) {
            const uint32_t wantW = width > 1 ? width / 2 : 1, wantH = height > 1 ? height / 2 : 1;
            if (w != wantW || hh != wantH)
                return "its mipmap chain is broken: level " + std::to_string(k) + " is " + Size(w, hh) + ", not " +
                       Size(wantW, wantH) + "; GL draws it black";
        }
        width = w;
        height = hh;
        at += TEXTURE_LEVEL_HEADER_SIZE + TextureLevelBytes(w, hh, h.components);
    }
    if (width != 1 || height != 1)
        return "its mipmap chain stops at " + Size(width, height) + ", not 1 x 1; GL draws it black";
    return "";
}

}  // namespace

std::string BrokenMipmapChain(const char* path)
{
    const int fd = OpenRegularFileFd(path);
    if (fd < 0)
        return "";
    const std::string problem = CheckLevels(fd);
    close(fd);
    return problem;
}
