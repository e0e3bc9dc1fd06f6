#include "tools/qtex/TextureFile.h"

#include <cmath>

#include "math/LittleEndian.h"
#include "resources/QTextureFormat.h"

namespace {
MipLevel HalveLevel(const MipLevel& source, int components)
{
    MipLevel level;
    level.width = source.width > 1 ? source.width / 2 : 1;
    level.height = source.height > 1 ? source.height / 2 : 1;
    level.pixels.resize(size_t(level.width) * level.height * components);
    for (uint32_t y = 0; y < level.height; ++y) {
        // The box of destination row y: source rows [y0, y1), at least one.
        uint32_t y0 = uint32_t(uint64_t(y) * source.height / level.height);
        uint32_t y1 = uint32_t(uint64_t(y + 1) * source.height / level.height);
        for (uint32_t x = 0; x < level.width; ++x) {
            uint32_t x0 = uint32_t(uint64_t(x) * source.width / level.width);
            uint32_t x1 = uint32_t(uint64_t(x + 1) * source.width / level.width);
            uint32_t count = (x1 - x0) * (y1 - y0);
            for (int c = 0; c < components; ++c) {
                uint32_t sum = 0;
                for (uint32_t sy = y0; sy < y1; ++sy) {
                    for (uint32_t sx = x0; sx < x1; ++sx) {
                        sum += source.pixels[(size_t(sy) * source.width + sx) * components + c];
                    }
                }
                level.pixels[(size_t(y) * level.width + x) * components + c] = uint8_t((sum + count / 2) / count);
            }
        }
    }
    return level;
}
}  // namespace

std::vector<MipLevel> BuildMipChain(const MipLevel& base, int components)
{
    std::vector<MipLevel> chain{base};
    while (chain.back().width > 1 || chain.back().height > 1) {
        chain.push_back(HalveLevel(chain.back(), components));
    }
    return chain;
}

MipLevel MakeParticleSpot(uint32_t size)
{
    MipLevel spot;
    spot.width = size;
    spot.height = size;
    spot.pixels.resize(size_t(size) * size * 3);
    double centre = size / 2.0;
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) {
            double dx = (x + 0.5 - centre) / centre;
            double dy = (y + 0.5 - centre) / centre;
            double r2 = dx * dx + dy * dy;
            // (1 - r^2)^2: flat at the centre, reaching 0 with zero slope at the rim.
            double v = r2 < 1.0 ? (1.0 - r2) * (1.0 - r2) : 0.0;
            uint8_t byte = uint8_t(std::lround(v * 255.0));
            for (int c = 0; c < 3; ++c) {
                spot.pixels[(size_t(y) * size + x) * 3 + c] = byte;
            }
        }
    }
    return spot;
}

bool EncodeTexture(const TextureFile& texture, std::vector<uint8_t>& bytes, std::string& problem)
{
    if (texture.components != 3 && texture.components != 4) {
        problem = "components must be 3 (RGB) or 4 (RGBA)";
        return false;
    }
    if (texture.levels.size() > 255) {
        problem = "more than 255 levels";
        return false;
    }
    bytes = {'Q', 'T', 'E', 'X'};
    AppendLE16(bytes, TEXTURE_VERSION);
    bytes.push_back(uint8_t(texture.components));
    bytes.push_back(uint8_t(texture.levels.size()));
    for (const MipLevel& level : texture.levels) {
        if (level.width > 65535 || level.height > 65535) {
            problem = "image is " + std::to_string(level.width) + " x " + std::to_string(level.height) +
                      " pixels; a side can be at most 65535";
            return false;
        }
        if (level.pixels.size() != size_t(level.width) * level.height * texture.components) {
            problem = "level pixel count does not match its size";
            return false;
        }
        AppendLE16(bytes, uint16_t(level.width));
        AppendLE16(bytes, uint16_t(level.height));
        bytes.insert(bytes.end(), level.pixels.begin(), level.pixels.end());
    }
    return true;
}

bool DecodeTexture(const std::vector<uint8_t>& bytes, TextureFile& texture, int& version,
                   std::vector<std::string>& problems)
{
    return DecodeTexture(bytes, bytes.size(), texture, version, problems);
}

bool DecodeTexture(const std::vector<uint8_t>& bytes, uint64_t fileBytes, TextureFile& texture, int& version,
                   std::vector<std::string>& problems)
{
    texture = TextureFile();
    version = -1;
    QTextureHeader header = ParseTextureHeader(bytes.data(), bytes.size());
    if (!header.tagged) {
        problems.push_back("does not start with the tag \"QTEX\"");
        return false;
    }
    if (!header.hasLayout) {
        problems.push_back("header ends early: " + std::to_string(bytes.size()) + " of 8 bytes");
        return false;
    }
    version = int(header.version);
    if (version != TEXTURE_VERSION) {
        problems.push_back("version is " + std::to_string(version) + "; loaders accept only 256 (0x0100)");
    }
    texture.components = header.components;
    if (!TextureComponentsValid(header.components)) {
        problems.push_back("components is " + std::to_string(texture.components) + "; must be 3 (RGB) or 4 (RGBA)");
        return false;
    }
    size_t levelCount = header.levelCount;
    size_t at = TEXTURE_HEADER_SIZE;
    for (size_t k = 0; k < levelCount; ++k) {
        uint16_t width = 0;
        uint16_t height = 0;
        if (!ParseTextureLevel(bytes.data() + at, bytes.size() - at, width, height)) {
            problems.push_back("level " + std::to_string(k) + " ends inside its size fields");
            return false;
        }
        MipLevel level;
        level.width = width;
        level.height = height;
        at += TEXTURE_LEVEL_HEADER_SIZE;
        size_t size = size_t(TextureLevelBytes(level.width, level.height, uint32_t(texture.components)));
        if (bytes.size() - at < size) {
            problems.push_back("level " + std::to_string(k) + " (" + std::to_string(level.width) + " x " +
                               std::to_string(level.height) + ") ends early: " + std::to_string(bytes.size() - at) +
                               " of " + std::to_string(size) + " pixel bytes present");
            return false;
        }
        level.pixels.assign(bytes.begin() + long(at), bytes.begin() + long(at + size));
        at += size;
        if (level.width == 0 || level.height == 0) {
            problems.push_back("level " + std::to_string(k) + " is " + std::to_string(level.width) + " x " +
                               std::to_string(level.height) + ": it has no pixels");
        }
        if (k > 0) {
            const MipLevel& above = texture.levels[k - 1];
            uint32_t w = above.width > 1 ? above.width / 2 : 1;
            uint32_t h = above.height > 1 ? above.height / 2 : 1;
            if (level.width != w || level.height != h) {
                problems.push_back("level " + std::to_string(k) + " is " + std::to_string(level.width) + " x " +
                                   std::to_string(level.height) + "; a mipmap of the level above must be " +
                                   std::to_string(w) + " x " + std::to_string(h));
            }
        }
        texture.levels.push_back(std::move(level));
    }
    if (at != fileBytes) {
        problems.push_back(std::to_string(fileBytes - at) + " bytes follow the last level");
    }
    if (texture.levels.empty()) {
        problems.push_back("no levels: the texture would be incomplete");
    } else if (texture.levels.back().width != 1 || texture.levels.back().height != 1) {
        problems.push_back("mipmap chain stops at " + std::to_string(texture.levels.back().width) + " x " +
                           std::to_string(texture.levels.back().height) + "; GL needs every level down to 1 x 1");
    }
    return problems.empty();
}
