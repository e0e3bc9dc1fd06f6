#pragma once
// What every qtex fuzz target checks of a texture it decoded or built: a chain of levels
// whose pixel counts match their sizes, each a halving of the one above down to 1 x 1,
// that encodes and decodes back to itself with no problem.
#include <cstdlib>

#include "tools/qtex/TextureFile.h"

inline void Check(bool promise)
{
    if (!promise) {
        abort();
    }
}

inline void CheckFullChain(const TextureFile& texture)
{
    Check(!texture.levels.empty());
    for (size_t k = 0; k < texture.levels.size(); ++k) {
        const MipLevel& level = texture.levels[k];
        Check(level.pixels.size() == size_t(level.width) * level.height * size_t(texture.components));
        if (k > 0) {
            const MipLevel& above = texture.levels[k - 1];
            Check(level.width == (above.width > 1 ? above.width / 2 : 1));
            Check(level.height == (above.height > 1 ? above.height / 2 : 1));
        }
    }
    Check(texture.levels.back().width == 1 && texture.levels.back().height == 1);
    std::vector<uint8_t> bytes;
    std::string problem;
    Check(EncodeTexture(texture, bytes, problem));
    TextureFile back;
    int version = 0;
    std::vector<std::string> problems;
    Check(DecodeTexture(bytes, back, version, problems));
    Check(problems.empty());
    Check(back.levels.size() == texture.levels.size());
    for (size_t k = 0; k < back.levels.size(); ++k) {
        Check(back.levels[k].pixels == texture.levels[k].pixels);
    }
}
