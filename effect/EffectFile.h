#pragma once
// The effect file (".QP"): one EmitterSettings record as a packed little-endian
// byte stream, 65 bytes without a cone and 81 with one; the length alone tells
// whether a cone is stored. Pure file and byte work: no GL, no window, no output,
// so command-line tools link this (library qeffect) and share the layout.

#include <cstddef>

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

// Writes the record of `s` to `out` (room for EFFECT_FILE_CONE_SIZE bytes) and
// returns its length: EFFECT_FILE_CONE_SIZE when s.coneEnabled, else EFFECT_FILE_SIZE.
size_t EncodeEffect(const EmitterSettings& s, unsigned char* out);

// Reads a record from `count` bytes into `into`. Refuses (leaving `into` as it
// was) fewer than 17 bytes, a wrong magic or version. Otherwise takes, in file
// order, every field whose bytes are all present; a field that the end cuts
// through, and every field after it, keeps its value. Three whole cone-axis
// floats turn the cone on (the angle as far as present); without them the cone
// is off with axis (0, 0, -1) and 90 degrees. Bytes past the 81st are ignored.
EffectFileResult DecodeEffect(const unsigned char* bytes, size_t count, EmitterSettings& into);

// Writes `s` to the file `name` whole or not at all, under the rules of
// ReplaceFileWhole (files/ReplaceFile.h): a link's target is replaced and the link
// stays; a FIFO, device, folder or a file the user may not write is refused.
// Returns false when anything failed or was refused; then any earlier file is
// untouched and no temporary file is left.
bool WriteEffectFile(const char* name, const EmitterSettings& s);

// Reads the regular file `name` into `into` as DecodeEffect does (a FIFO or device is
// EFFECT_UNREADABLE and never blocks). `into` changes only when
// EFFECT_OK is returned. If `fileSize` is given it receives the file's length in
// bytes (0 when unreadable), so a tool can tell truncated or trailing data.
EffectFileResult ReadEffectFile(const char* name, EmitterSettings& into, size_t* fileSize = nullptr);
