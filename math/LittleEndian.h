// Little-endian fields of the engine's files (effect, texture, archive): 16- and 32-bit
// unsigned numbers and IEEE single-precision floats, read from and written to byte
// buffers the caller sized. Byte order does not depend on the machine's own.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline uint16_t ReadLE16(const unsigned char* bytes)
{
    return uint16_t(bytes[0] | bytes[1] << 8);
}

inline uint32_t ReadLE32(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// The float whose bit pattern the 4 bytes hold; NaN payloads come through unchanged.
inline float ReadLEFloat(const unsigned char* bytes)
{
    const uint32_t bits = ReadLE32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void WriteLE16(unsigned char* bytes, uint16_t value)
{
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
}

inline void WriteLE32(unsigned char* bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
}

inline void WriteLEFloat(unsigned char* bytes, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteLE32(bytes, bits);
}

// Appends the 2 or 4 bytes to a growing file image.
inline void AppendLE16(std::vector<unsigned char>& bytes, uint16_t value)
{
    bytes.resize(bytes.size() + 2);
    WriteLE16(&bytes[bytes.size() - 2], value);
}

inline void AppendLE32(std::vector<unsigned char>& bytes, uint32_t value)
{
    bytes.resize(bytes.size() + 4);
    WriteLE32(&bytes[bytes.size() - 4], value);
}
