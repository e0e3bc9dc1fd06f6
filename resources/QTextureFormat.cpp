#include "resources/QTextureFormat.h"

#include <cstring>

namespace {
const char textureTag[TEXTURE_TAG_SIZE] = {'Q', 'T', 'E', 'X'};

uint16_t GetU16(const unsigned char* bytes)
{
    return uint16_t(bytes[0] | bytes[1] << 8);
}
}  // namespace

QTextureHeader ParseTextureHeader(const unsigned char* bytes, size_t count)
{
    QTextureHeader header = {};
    header.tagged = count >= TEXTURE_TAG_SIZE && memcmp(bytes, textureTag, TEXTURE_TAG_SIZE) == 0;
    header.hasVersion = header.tagged && count >= 6;
    header.hasLayout = header.tagged && count >= TEXTURE_HEADER_SIZE;
    if (header.hasVersion) {
        header.version = GetU16(bytes + 4);
    }
    if (header.hasLayout) {
        header.components = bytes[6];
        header.levelCount = bytes[7];
    }
    return header;
}

bool TextureComponentsValid(uint8_t components)
{
    return components == 3 || components == 4;
}

bool ParseTextureLevel(const unsigned char* bytes, size_t count, uint16_t& width, uint16_t& height)
{
    if (count < TEXTURE_LEVEL_HEADER_SIZE) {
        return false;
    }
    width = GetU16(bytes);
    height = GetU16(bytes + 2);
    return true;
}

uint64_t TextureLevelBytes(uint32_t width, uint32_t height, uint32_t components)
{
    return uint64_t(width) * height * components;
}
