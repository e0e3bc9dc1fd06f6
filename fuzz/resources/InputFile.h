#pragma once
// The loaders read files, so each fuzz input is written to one scratch file per process.

#include <cstddef>
#include <cstdint>

// Writes the input to the scratch file and returns its path (the same path every call).
const char* WriteInputFile(const uint8_t* data, size_t size);
