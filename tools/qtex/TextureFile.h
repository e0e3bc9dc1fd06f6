#pragma once
// The QTEX file as the qtex tool builds and checks it: an image's full mipmap chain made
// with a box filter, its encoding, and a reader that says what is wrong with a bad file.

#include <cstdint>
#include <string>
#include <vector>

struct MipLevel {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // rows in GL order (row 0 first), width * components bytes each
};

struct TextureFile {
    int components = 0;            // 3 = RGB, 4 = RGBA
    std::vector<MipLevel> levels;  // largest first
};

// The chain from the base level down to 1 x 1: each level halves both sides (never below
// 1) and each pixel is the rounded mean of the source pixels its box covers, so odd and
// non-square sizes work.
std::vector<MipLevel> BuildMipChain(const MipLevel& base, int components);

// The soft round spot used as the default particle texture: white RGB whose brightness
// falls smoothly from 1 at the centre to 0 at the rim of the inscribed circle.
MipLevel MakeParticleSpot(uint32_t size);

// Encodes the file; false with a reason when a side exceeds 65535 or there are more
// than 255 levels.
bool EncodeTexture(const TextureFile& texture, std::vector<uint8_t>& bytes, std::string& problem);

// Decodes as much as the bytes hold. Returns false with every problem found (one line
// each) when the file is not a complete, loadable texture with a full mipmap chain.
bool DecodeTexture(const std::vector<uint8_t>& bytes, TextureFile& texture, int& version,
                   std::vector<std::string>& problems);

// The same for the first bytes of a file of `fileBytes` bytes (at least bytes.size()),
// read only as far as its levels reach: the bytes after them are counted, not read.
bool DecodeTexture(const std::vector<uint8_t>& bytes, uint64_t fileBytes, TextureFile& texture, int& version,
                   std::vector<std::string>& problems);
