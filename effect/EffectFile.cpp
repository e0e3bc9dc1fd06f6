#include "effect/EffectFile.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "effect/EffectFields.h"
#include "files/RegularFile.h"
#include "files/ReplaceFile.h"
#include "math/LittleEndian.h"

namespace {

const char effectMagic[] = "QPARTICLESYSTEM";  // the first EFFECT_MAGIC_SIZE bytes; the NUL is not stored

// Bytes quoted for a message: printable ASCII as it is, the rest as \xNN.
std::string Printable(const unsigned char* bytes, size_t count)
{
    std::string text = "\"";
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            text += char(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text + "\"";
}

// The file library's reason for not reading a file, in the words of an effect file.
std::string UnreadableText(const std::string& problem)
{
    if (problem == "is a folder, not a regular file")
        return "is a directory, not an effect file";
    if (problem == "not a regular file")
        return "is not a regular file";
    return "can't be read: " + problem;
}

// Why DecodeEffect refused `bytes`, from a file of `fileSize` bytes, with `result`
// (never EFFECT_OK or EFFECT_UNREADABLE).
std::string RefusalText(EffectFileResult result, const unsigned char* bytes, uint64_t fileSize)
{
    if (result == EFFECT_SHORT)
        return "short file: " + std::to_string(fileSize) + " bytes; an effect file starts with the " +
               std::to_string(unsigned(EFFECT_HEADER_SIZE)) + " bytes of its magic and version";
    if (result == EFFECT_BAD_MAGIC)
        return "wrong magic: starts with " + Printable(bytes, EFFECT_MAGIC_SIZE) + " instead of \"" + effectMagic +
               "\"";
    char text[96];
    snprintf(text, sizeof text, "wrong version 0x%02x%02x (bytes %02x %02x); this format is version 0x%04x",
             bytes[EFFECT_MAGIC_SIZE + 1], bytes[EFFECT_MAGIC_SIZE], bytes[EFFECT_MAGIC_SIZE],
             bytes[EFFECT_MAGIC_SIZE + 1], unsigned(EFFECT_FILE_VERSION));
    return text;
}

}  // namespace

size_t EncodeEffect(const EmitterSettings& s, unsigned char* out)
{
    std::memcpy(out, effectMagic, EFFECT_MAGIC_SIZE);
    WriteLE16(out + EFFECT_MAGIC_SIZE, EFFECT_FILE_VERSION);
    for (const EffectField& f : effectFields) {
        if (f.kind == FIELD_SWITCH || (f.coneOnly && !s.coneEnabled))
            continue;
        for (int c = 0; c < f.components; ++c)
            WriteLE32(out + f.offset + 4 * c, FieldBits(s, f, c));
    }
    return s.coneEnabled ? EFFECT_FILE_CONE_SIZE : EFFECT_FILE_SIZE;
}

EffectFileResult DecodeEffect(const unsigned char* bytes, size_t count, EmitterSettings& into, unsigned* taken)
{
    if (taken)
        *taken = 0;
    if (count < EFFECT_HEADER_SIZE)
        return count < EFFECT_MAGIC_SIZE || std::memcmp(bytes, effectMagic, EFFECT_MAGIC_SIZE) == 0 ? EFFECT_SHORT
                                                                                                    : EFFECT_BAD_MAGIC;
    if (std::memcmp(bytes, effectMagic, EFFECT_MAGIC_SIZE) != 0)
        return EFFECT_BAD_MAGIC;
    if (ReadLE16(bytes + EFFECT_MAGIC_SIZE) != EFFECT_FILE_VERSION)
        return EFFECT_BAD_VERSION;

    // The fields follow each other without gaps, so a field the end cuts through and
    // every later one stay as they were. Three whole axis floats turn the cone on.
    const bool cone = count >= EFFECT_FILE_SIZE + 3 * 4;
    const EmitterSettings defaults = DefaultEmitterSettings();
    unsigned fields = 0;
    for (size_t i = 0; i < EFFECT_FIELD_COUNT; ++i) {
        const EffectField& f = effectFields[i];
        const bool fits = f.kind == FIELD_SWITCH || f.offset + 4 * size_t(f.components) <= count;
        if (!fits || (f.coneOnly && !cone))
            continue;
        for (int c = 0; c < f.components; ++c)
            SetFieldBits(into, f, c, f.kind == FIELD_SWITCH ? cone : ReadLE32(bytes + f.offset + 4 * c));
        fields |= EffectFieldBit(i);
    }
    if (!cone) {
        into.coneDirection = defaults.coneDirection;
        into.coneAngle = defaults.coneAngle;
    }
    if (taken)
        *taken = fields;
    return EFFECT_OK;
}

bool WriteEffectFile(const char* name, const EmitterSettings& s, std::string& problem)
{
    unsigned char record[EFFECT_FILE_CONE_SIZE];
    const size_t length = EncodeEffect(s, record);
    return ReplaceFileWhole(name, record, length, problem);
}

bool WriteEffectFile(const char* name, const EmitterSettings& s)
{
    std::string problem;
    return WriteEffectFile(name, s, problem);
}

EffectFileResult ReadEffectFile(const char* name, EmitterSettings& into, EffectFileRead& read)
{
    std::vector<uint8_t> bytes;
    std::string problem;
    read.fileSize = 0;
    read.fieldsTaken = 0;
    read.problem.clear();
    if (!ReadRegularFile(name, bytes, problem, EFFECT_FILE_CONE_SIZE, &read.fileSize)) {
        read.problem = UnreadableText(problem);
        return read.result = EFFECT_UNREADABLE;
    }
    read.result = DecodeEffect(bytes.data(), bytes.size(), into, &read.fieldsTaken);
    if (read.result != EFFECT_OK)
        read.problem = RefusalText(read.result, bytes.data(), read.fileSize);
    return read.result;
}

EffectFileResult ReadEffectFile(const char* name, EmitterSettings& into, size_t* fileSize)
{
    EffectFileRead read;
    ReadEffectFile(name, into, read);
    if (fileSize)
        *fileSize = static_cast<size_t>(read.fileSize);
    return read.result;
}
