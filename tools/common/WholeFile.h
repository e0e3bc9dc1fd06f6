#pragma once
// Whole-or-nothing file output for the tools: the bytes go to a temporary file in the
// target's own folder, which is renamed over the target only once every byte is written
// and flushed. On failure the temporary file is removed and the target is untouched.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// False with one line in error ("<path>: <problem>") when anything fails.
bool WriteFileWhole(const std::string& path, const void* data, size_t size, std::string& error);
bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Reads a whole file; false with error naming the file when it can't.
bool ReadFileWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
