#include "effect/EffectFile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/RegularFile.h"
#include "files/ReplaceFile.h"

namespace {

const char effectMagic[] = "QPARTICLESYSTEM";  // the first EFFECT_MAGIC_SIZE bytes; the NUL is not stored

void PutU32(unsigned char*& p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
    p += 4;
}

void PutFloat(unsigned char*& p, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(p, bits);
}

void PutInt(unsigned char*& p, int v)
{
    PutU32(p, static_cast<uint32_t>(v));
}

uint32_t GetU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Hands out whole fields of `size` bytes; once a field doesn't fit, every later
// request fails too, so the fields past a cut keep their values.
struct FieldReader {
    const unsigned char* p;
    size_t left;

    const unsigned char* Take(size_t size)
    {
        if (left < size) {
            left = 0;
            return nullptr;
        }
        const unsigned char* field = p;
        p += size;
        left -= size;
        return field;
    }

    // Reads `n` consecutive floats as one field into `out` (all or none).
    bool Floats(float* out, size_t n)
    {
        const unsigned char* field = Take(4 * n);
        if (!field)
            return false;
        for (size_t i = 0; i < n; ++i) {
            uint32_t bits = GetU32(field + 4 * i);
            std::memcpy(&out[i], &bits, 4);
        }
        return true;
    }

    bool Int(int& out)
    {
        const unsigned char* field = Take(4);
        if (!field)
            return false;
        out = static_cast<int>(GetU32(field));
        return true;
    }
};

}  // namespace

size_t EncodeEffect(const EmitterSettings& s, unsigned char* out)
{
    unsigned char* p = out;
    std::memcpy(p, effectMagic, EFFECT_MAGIC_SIZE);
    p += EFFECT_MAGIC_SIZE;
    *p++ = static_cast<unsigned char>(EFFECT_FILE_VERSION & 0xFF);
    *p++ = static_cast<unsigned char>(EFFECT_FILE_VERSION >> 8);
    PutFloat(p, s.velocity);
    PutFloat(p, s.startColor.r);
    PutFloat(p, s.startColor.g);
    PutFloat(p, s.startColor.b);
    PutFloat(p, s.startColor.a);
    PutFloat(p, s.endColor.r);
    PutFloat(p, s.endColor.g);
    PutFloat(p, s.endColor.b);
    PutFloat(p, s.endColor.a);
    PutFloat(p, s.size);
    PutInt(p, s.lifetime);
    PutInt(p, s.emitRate);
    if (s.coneEnabled) {
        PutFloat(p, s.coneDirection.x);
        PutFloat(p, s.coneDirection.y);
        PutFloat(p, s.coneDirection.z);
        PutFloat(p, s.coneAngle);
    }
    return static_cast<size_t>(p - out);
}

EffectFileResult DecodeEffect(const unsigned char* bytes, size_t count, EmitterSettings& into)
{
    if (count < EFFECT_HEADER_SIZE)
        return count < EFFECT_MAGIC_SIZE || std::memcmp(bytes, effectMagic, EFFECT_MAGIC_SIZE) == 0 ? EFFECT_SHORT
                                                                                                    : EFFECT_BAD_MAGIC;
    if (std::memcmp(bytes, effectMagic, EFFECT_MAGIC_SIZE) != 0)
        return EFFECT_BAD_MAGIC;
    if ((bytes[15] | bytes[16] << 8) != EFFECT_FILE_VERSION)
        return EFFECT_BAD_VERSION;

    FieldReader in{bytes + EFFECT_HEADER_SIZE, count - EFFECT_HEADER_SIZE};
    float color[4];
    in.Floats(&into.velocity, 1);
    if (in.Floats(color, 4))
        into.startColor = Color4{color[0], color[1], color[2], color[3]};
    if (in.Floats(color, 4))
        into.endColor = Color4{color[0], color[1], color[2], color[3]};
    in.Floats(&into.size, 1);
    in.Int(into.lifetime);
    in.Int(into.emitRate);

    float axis[3];
    if (in.Floats(axis, 3)) {
        into.coneDirection = Vec3{axis[0], axis[1], axis[2]};
        in.Floats(&into.coneAngle, 1);
        into.coneEnabled = true;
    } else {
        into.coneEnabled = false;
        into.coneDirection = Vec3{0.0f, 0.0f, -1.0f};
        into.coneAngle = 90.0f;
    }
    return EFFECT_OK;
}

bool WriteEffectFile(const char* name, const EmitterSettings& s)
{
    unsigned char record[EFFECT_FILE_CONE_SIZE];
    size_t length = EncodeEffect(s, record);
    std::string problem;
    return ReplaceFileWhole(name, record, length, problem);
}

EffectFileResult ReadEffectFile(const char* name, EmitterSettings& into, size_t* fileSize)
{
    std::vector<uint8_t> bytes;
    std::string problem;
    uint64_t size = 0;
    bool read = ReadRegularFile(name, bytes, problem, EFFECT_FILE_CONE_SIZE, &size);
    if (fileSize)
        *fileSize = static_cast<size_t>(size);
    if (!read)
        return EFFECT_UNREADABLE;
    return DecodeEffect(bytes.data(), bytes.size(), into);
}
