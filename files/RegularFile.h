#pragma once
// Opening a user-named file for reading: only a regular file counts. The open never
// blocks, so a FIFO, a device or a folder named where a file is expected is refused
// at once rather than stalling (or feeding endless bytes to) the reader.
// Problems come back as short text ("not a regular file", or the system's words for
// errno) for the caller to print after the file's name; nothing here prints.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A descriptor open for reading (blocking again, close-on-exec) on the regular file
// `path`; -1 when `path` can't be opened or is not a regular file, with the reason
// in `problem` if given. Nothing is left open on failure.
int OpenRegularFileFd(const char* path, std::string* problem = nullptr);

// The same as a "rb" stream; null on failure, as above.
FILE* OpenRegularFile(const char* path, std::string* problem = nullptr);

// Reads from the open descriptor `fd` until its end, or `limit` bytes, into `bytes`
// (replacing what it held), whatever kind of file it is: for a stream the caller
// chose to read, such as the standard input. False when a read fails; then `bytes`
// is empty and `problem` says why. `fd` stays open.
bool ReadDescriptor(int fd, std::vector<uint8_t>& bytes, std::string& problem, size_t limit = SIZE_MAX);

// Reads the regular file `path` from its start into `bytes` (replacing what it held),
// at most `limit` bytes. `fileSize`, if given, receives the file's length in bytes (0
// on failure). False when the file can't be opened, is not a regular file or a read
// fails; then `bytes` is empty and `problem` says why.
bool ReadRegularFile(const char* path, std::vector<uint8_t>& bytes, std::string& problem, size_t limit = SIZE_MAX,
                     uint64_t* fileSize = nullptr);
