#pragma once
// The effect file (".QP"): one EmitterSettings record as a packed little-endian
// byte stream, 65 bytes without a cone and 81 with one; the length alone tells
// whether a cone is stored. Pure file and byte work: no GL, no window, no output,
// so command-line tools link this (library qeffect) and share the layout.

#include <cstddef>
#include <cstdint>
#include <string>

#include "effect/EmitterSettings.h"

enum : unsigned short { EFFECT_FILE_VERSION = 0x1000 };

enum : unsigned {
    EFFECT_MAGIC_SIZE = 15,      // "QPARTICLESYSTEM", no terminator
    EFFECT_HEADER_SIZE = 17,     // magic + version word
    EFFECT_FILE_SIZE = 65,       // a record without a cone
    EFFECT_FILE_CONE_SIZE = 81,  // a record with cone axis and angle
};

// Why a file was refused, or EFFECT_OK.
enum EffectFileResult : unsigned char {
    EFFECT_OK = 0,
    EFFECT_UNREADABLE,   // missing, not a regular file, or a read error
    EFFECT_SHORT,        // fewer than 17 bytes: no magic and version
    EFFECT_BAD_MAGIC,    // the first 15 bytes are not "QPARTICLESYSTEM"
    EFFECT_BAD_VERSION,  // the version word is not 0x1000
};

// What a read found besides the result: the words for a refusal, the length and
// which fields the file gave, so nobody has to open the file again to explain it.
struct EffectFileRead {
    EffectFileResult result;  // as ReadEffectFile returns it
    std::string problem;      // why the file was refused, to print after its name ("is not a
                              // regular file", "wrong magic: ..."); empty for EFFECT_OK
    uint64_t fileSize;        // bytes in the file; 0 when unreadable
    unsigned fieldsTaken;     // EffectFieldBit (effect/EffectFields.h) of every field read from the file
};

// Writes the record of `s` to `out` (room for EFFECT_FILE_CONE_SIZE bytes) and
// returns its length: EFFECT_FILE_CONE_SIZE when s.coneEnabled, else EFFECT_FILE_SIZE.
size_t EncodeEffect(const EmitterSettings& s, unsigned char* out);

// Reads a record from `count` bytes into `into`. Refuses (leaving `into` as it
// was) fewer than 17 bytes, a wrong magic or version. Otherwise takes, in file
// order, every field whose bytes are all present; a field that the end cuts
// through, and every field after it, keeps its value. Three whole cone-axis
// floats turn the cone on (the angle as far as present); without them the cone
// is off with axis (0, 0, -1) and 90 degrees. Bytes past the 81st are ignored.
// `taken`, if given, receives EffectFieldBit of every field set from the bytes (the
// cone switch always, since the length decides it; 0 when refused).
EffectFileResult DecodeEffect(const unsigned char* bytes, size_t count, EmitterSettings& into,
                              unsigned* taken = nullptr);

// Writes `s` to the file `name` whole or not at all, under the rules of
// ReplaceFileWhole (files/ReplaceFile.h): a link's target is replaced and the link
// stays; a FIFO, device, folder or a file the user may not write is refused.
// Returns false when anything failed or was refused; then any earlier file is
// untouched and no temporary file is left. `problem` receives the file library's
// reason ("not a regular file", the system's words for errno).
bool WriteEffectFile(const char* name, const EmitterSettings& s, std::string& problem);
bool WriteEffectFile(const char* name, const EmitterSettings& s);

// Reads the regular file `name` into `into` as DecodeEffect does (a FIFO or device is
// EFFECT_UNREADABLE and never blocks). `into` changes only when
// EFFECT_OK is returned. If `fileSize` is given it receives the file's length in
// bytes (0 when unreadable), so a tool can tell truncated or trailing data.
EffectFileResult ReadEffectFile(const char* name, EmitterSettings& into, size_t* fileSize = nullptr);

// The same, filling `read` with the result, why a file was refused, its length and
// the fields it gave. The file is opened and read once.
EffectFileResult ReadEffectFile(const char* name, EmitterSettings& into, EffectFileRead& read);
