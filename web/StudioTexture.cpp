#include "web/StudioTexture.h"

#include <string>

#include "resources/QTextureFormat.h"
#include "tools/qtex/TextureFile.h"

namespace {
const uint32_t defaultSide = 128;  // the side `qtex --particle` makes by default
}

bool StudioTexture::Load(const unsigned char* bytes, size_t count)
{
    const QTextureHeader header = ParseTextureHeader(bytes, count);
    if (!header.tagged || !header.hasVersion || header.version != TEXTURE_VERSION || !header.hasLayout ||
        !TextureComponentsValid(header.components))
        return false;
    std::vector<StudioTextureLevel> read;
    std::vector<unsigned char> store;
    size_t at = TEXTURE_HEADER_SIZE;
    for (int level = 0; level < header.levelCount; ++level) {
        uint16_t width = 0, height = 0;
        if (!ParseTextureLevel(bytes + at, count - at, width, height))
            return false;
        at += TEXTURE_LEVEL_HEADER_SIZE;
        const uint64_t size = TextureLevelBytes(width, height, header.components);
        if (size > count - at)
            return false;
        read.push_back(StudioTextureLevel{width, height, store.size()});
        store.insert(store.end(), bytes + at, bytes + at + size);
        at += size_t(size);
    }
    components = header.components;
    levels.swap(read);
    pixels.swap(store);
    return true;
}

bool StudioTexture::LoadPixels(const unsigned char* rgba, uint32_t width, uint32_t height, int pixelComponents)
{
    if (width == 0 || height == 0 || width > 65535 || height > 65535 || (pixelComponents != 3 && pixelComponents != 4))
        return false;
    MipLevel base;
    base.width = width;
    base.height = height;
    base.pixels.resize(size_t(width) * height * size_t(pixelComponents));
    for (uint32_t y = 0; y < height; ++y) {
        const unsigned char* from = rgba + size_t(height - 1 - y) * width * 4;
        unsigned char* to = base.pixels.data() + size_t(y) * width * size_t(pixelComponents);
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < pixelComponents; ++c)
                to[size_t(x) * size_t(pixelComponents) + size_t(c)] = from[size_t(x) * 4 + size_t(c)];
    }
    TextureFile file;
    file.components = pixelComponents;
    file.levels = BuildMipChain(base, pixelComponents);
    std::vector<uint8_t> bytes;
    std::string problem;
    return EncodeTexture(file, bytes, problem) && Load(bytes.data(), bytes.size());
}

bool StudioTexture::LoadDefault()
{
    TextureFile file;
    file.components = 3;
    file.levels = BuildMipChain(MakeParticleSpot(defaultSide), file.components);
    std::vector<uint8_t> bytes;
    std::string problem;
    return EncodeTexture(file, bytes, problem) && Load(bytes.data(), bytes.size());
}
