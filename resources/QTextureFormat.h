#pragma once
// The QTEX texture file, as bytes: "QTEX", a 16-bit version (0x0100), the component
// count (3 = RGB, 4 = RGBA) and the level count (1 byte each), then per level its
// width and height (16 bits each) and width x height x components pixel bytes, rows
// bottom first. Little-endian. The one parse of that layout: QTexture loads through
// it and qtex reads files through it. No GL; prints nothing.

#include <cstddef>
#include <cstdint>

enum : uint16_t { TEXTURE_VERSION = 0x0100 };

enum : uint32_t {
    TEXTURE_TAG_SIZE = 4,
    TEXTURE_HEADER_SIZE = 8,        // tag 4, version 2, components 1, level count 1
    TEXTURE_LEVEL_HEADER_SIZE = 4,  // width 2, height 2
};

// The header as far as the bytes reach: each flag says whether the fields after it
// were present; fields not reached are 0.
struct QTextureHeader {
    bool tagged;      // the first 4 bytes are "QTEX"
    bool hasVersion;  // 6 bytes or more, tagged
    uint16_t version;
    bool hasLayout;      // 8 bytes or more, tagged
    uint8_t components;  // as stored; only 3 and 4 load
    uint8_t levelCount;
};

// Reads the header from the first `count` bytes of `bytes`.
QTextureHeader ParseTextureHeader(const unsigned char* bytes, size_t count);

// True for the component counts a texture may have: 3 and 4.
bool TextureComponentsValid(uint8_t components);

// Reads one level's width and height from the first `count` bytes of `bytes`; false
// (leaving both alone) when fewer than 4 bytes are there.
bool ParseTextureLevel(const unsigned char* bytes, size_t count, uint16_t& width, uint16_t& height);

// Pixel bytes of a level: width x height x components.
uint64_t TextureLevelBytes(uint32_t width, uint32_t height, uint32_t components);
