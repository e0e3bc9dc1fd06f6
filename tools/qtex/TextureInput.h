#pragma once
// qtex's inputs, read by what their headers promise rather than whole: a QTEX file as
// far as its levels reach (the bytes after them counted, not read), and a PNG as a
// stream whose header is checked against the pixel budget before any pixel is decoded.
// Problems come back as one line naming the file; nothing here prints.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/PngFile.h"

enum : uint64_t {
    TEXTURE_READ_LIMIT = uint64_t(2) << 30,  // bytes of levels qtex reads from one QTEX file (2 GiB)
    PNG_PIXEL_BUDGET = uint64_t(1) << 28,    // pixels of one PNG qtex converts (16384 x 16384)
};

// Reads the regular file `path` as a texture: its first bytes (the header and every
// level the header and level sizes promise, as far as the file reaches) into `bytes`,
// and its whole length into `fileBytes`. A file that doesn't start with "QTEX" is read
// no further than its header. False, with `error` naming the file, when it can't be
// read or its levels take more than `limit` bytes.
bool ReadTextureBytes(const std::string& path, std::vector<uint8_t>& bytes, uint64_t& fileBytes, std::string& error,
                      uint64_t limit = TEXTURE_READ_LIMIT);

// Decodes the PNG read from `file` (from its current position) as ReadPng does, but
// without reading it whole: the header is read first, and an image with a side over
// `maxSide` or more than `maxPixels` pixels is refused before any pixel memory is taken.
// False with `error` naming `shownName` (the name as messages show it). `file` stays open.
bool ReadPngStream(FILE* file, const std::string& shownName, PngImage& image, std::string& error, int wantComponents,
                   uint32_t maxSide, uint64_t maxPixels);

// The same for the regular file `path`.
bool ReadPngFile(const std::string& path, PngImage& image, std::string& error, int wantComponents, uint32_t maxSide,
                 uint64_t maxPixels = PNG_PIXEL_BUDGET);
