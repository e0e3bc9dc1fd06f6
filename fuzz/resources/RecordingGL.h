#pragma once
// What the recording GL seen by the fuzzed loaders did: the fuzz build links the loaders
// with RecordingGL.cpp in place of real GL, so they run with no context. Each recorder
// reads every byte GL itself would read from the caller's memory, so an upload from a
// buffer that is too small shows up under AddressSanitizer.

#include <cstdint>

struct GLRecord {
    int unpackAlignment = 4;         // current GL_UNPACK_ALIGNMENT
    uint64_t listRangesMade = 0;     // glGenLists(256) calls that succeeded
    uint64_t listRangesDeleted = 0;  // glDeleteLists calls
    uint64_t texturesMade = 0;       // names from glGenTextures
    uint64_t texturesDeleted = 0;    // names passed to glDeleteTextures
    uint64_t bytesSeen = 0;          // sum of every byte read from callers' buffers
};
extern GLRecord glRecord;

void ResetGLRecord();
