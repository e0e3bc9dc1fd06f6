#pragma once
// Byte-by-byte builders of resource files for the resource and tool tests. Their tests
// run in a scratch folder (InScratchFolder), so loose names resolve there.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "math/LittleEndian.h"
#include "tests/support/InScratchFolder.h"

// A well-formed archive: the entries' data follow the directory in order.
inline Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& entries)
{
    Bytes bytes = {'L', 'L', 'P', 'A', 'C', 'K', 1, 0, 0, 0}, data;
    AppendLE32(bytes, uint32_t(entries.size()));
    uint32_t offset = 14;
    for (const auto& entry : entries)
        offset += uint32_t(9 + entry.first.size());
    for (const auto& entry : entries) {
        bytes.push_back(uint8_t(entry.first.size()));
        bytes.insert(bytes.end(), entry.first.begin(), entry.first.end());
        AppendLE32(bytes, offset + uint32_t(data.size()));
        AppendLE32(bytes, uint32_t(entry.second.size()));
        data.insert(data.end(), entry.second.begin(), entry.second.end());
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// A copy of bytes with the 4 bytes at `at` holding value, least significant first.
inline Bytes Patched(Bytes bytes, size_t at, uint32_t value)
{
    unsigned char field[4];
    WriteLE32(field, value);
    std::copy(field, field + 4, bytes.begin() + std::ptrdiff_t(at));
    return bytes;
}

inline Bytes Pattern(size_t size, uint32_t seed)  // deterministic, position-dependent bytes
{
    Bytes bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes)
        byte = uint8_t((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
}
