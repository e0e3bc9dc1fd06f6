#pragma once
// The particle texture the page draws with: the levels of a QTEX file read with the
// same layout parse and the same checks as the engine's texture loader, kept as
// bytes for the page to upload (level by level, as the loader uploads them). No GL.

#include <cstddef>
#include <cstdint>
#include <vector>

struct StudioTextureLevel {
    uint32_t width;
    uint32_t height;
    size_t offset;  // first pixel byte in the pixel store
};

class StudioTexture {
public:
    // Reads a QTEX file's bytes. False when the engine's loader would refuse it (wrong
    // tag or version, bad component count, a level the bytes don't hold whole); then
    // the texture held before stays.
    bool Load(const unsigned char* bytes, size_t count);
    // The built-in particle spot, 128 x 128 RGB with its whole mipmap chain, made by
    // the code that `qtex --particle` makes it with and read back through Load.
    bool LoadDefault();

    // A picture's RGBA pixels (rows top first, as a browser decodes an image) made into
    // a texture as qtex makes one from a PNG: `pixelComponents` 3 (RGB) or 4 (RGBA) bytes a
    // pixel, bottom row first, with its whole box-filtered mipmap chain. False (the
    // texture held before stays) for a side of 0 or over 65535, or other component counts.
    bool LoadPixels(const unsigned char* rgba, uint32_t width, uint32_t height, int pixelComponents);

    int Components() const { return components; }
    const std::vector<StudioTextureLevel>& Levels() const { return levels; }
    const unsigned char* Pixels(size_t level) const { return pixels.data() + levels[level].offset; }

private:
    int components = 0;                      // 3 = RGB, 4 = RGBA; 0 before a load
    std::vector<StudioTextureLevel> levels;  // largest first
    std::vector<unsigned char> pixels;       // every level's pixel rows, bottom first
};
