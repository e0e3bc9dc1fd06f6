// Fuzzes qtex's PNG path: the input read as a PNG stream under a small pixel budget (an
// image over it must be refused before it is decoded), then, as a conversion does, the
// full mipmap chain built from it and encoded.
#include <cstdio>

#include "fuzz/qtex/FuzzChecks.h"
#include "tools/qtex/TextureInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const uint64_t budget = 1 << 16;  // pixels: keeps each run quick
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    Check(stream != nullptr);
    PngImage image;
    std::string error;
    bool read = ReadPngStream(stream, "fuzz.png", image, error, int(size % 3 == 0 ? 0 : 2 + size % 3), 65535, budget);
    fclose(stream);
    Check(read == error.empty());
    if (!read) {
        Check(image.pixels.empty());
        return 0;
    }
    Check(uint64_t(image.width) * image.height <= budget);
    Check(image.components == 3 || image.components == 4);
    Check(image.pixels.size() == size_t(image.width) * image.height * size_t(image.components));
    MipLevel base;
    base.width = image.width;
    base.height = image.height;
    base.pixels = image.pixels;
    TextureFile texture;
    texture.components = image.components;
    texture.levels = BuildMipChain(base, image.components);
    CheckFullChain(texture);
    return 0;
}
