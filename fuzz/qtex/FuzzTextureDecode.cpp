// Fuzzes qtex's QTEX reader as --info and --png use it: the whole input, and the input as
// the first bytes of a longer file. A file it accepts must have no problem and a full
// chain that encodes back to the very bytes read; a small base level rebuilt with the
// box filter must give a full chain too.
#include "fuzz/qtex/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    TextureFile texture;
    int version = 0;
    std::vector<std::string> problems;
    bool good = DecodeTexture(bytes, texture, version, problems);
    Check(good == problems.empty());
    if (good) {
        CheckFullChain(texture);
        std::vector<uint8_t> again;
        std::string problem;
        Check(EncodeTexture(texture, again, problem));
        Check(again == bytes);
    }
    // The same bytes as the start of a file 100 bytes longer: never good, and the bytes
    // after the levels are counted.
    TextureFile longer;
    std::vector<std::string> longerProblems;
    Check(!DecodeTexture(bytes, uint64_t(size) + 100, longer, version, longerProblems));
    Check(!longerProblems.empty());
    if (!texture.levels.empty() && uint64_t(texture.levels[0].width) * texture.levels[0].height <= 4096 &&
        texture.levels[0].width > 0 && texture.levels[0].height > 0) {
        texture.levels.resize(1);
        texture.levels = BuildMipChain(texture.levels[0], texture.components);
        CheckFullChain(texture);
    }
    return 0;
}
