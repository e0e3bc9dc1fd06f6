#pragma once
// The tools' whole-file input and output, over the project's file library
// (files/): outputs replace their target whole or not at all under its one rule set
// (links kept, FIFOs, devices, folders and read-only files refused, hard links written
// in place); inputs are regular files only, opened without blocking. Failures come
// back as one line "<path>: <problem>" for the tool to print after its name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// False with one line in error when the target is refused or anything fails; the
// target is then as it was and no temporary file is left.
bool WriteFileWhole(const std::string& path, const void* data, size_t size, std::string& error);
bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Reads a whole regular file; false with error naming the file (and `bytes` empty)
// when it can't.
bool ReadFileWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Reads the standard input to its end, whatever it is (a pipe, a file, a terminal);
// false with error "standard input: <problem>" when a read fails.
bool ReadStandardInput(std::vector<uint8_t>& bytes, std::string& error);
