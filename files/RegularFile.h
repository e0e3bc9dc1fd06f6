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

// What tells one version of a file from another: which file it is (device and inode)
// and, for the same file, its length and modification time.
struct FileStamp {
    uint64_t device;
    uint64_t inode;
    uint64_t size;         // bytes
    int64_t modified;      // seconds since the epoch
    int64_t modifiedNano;  // nanoseconds within that second

    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The stamp of whatever `path` names, through links. False (errno set) when nothing
// can be found there.
bool StampOf(const char* path, FileStamp& stamp);

// True when `a` and `b` name one file (the same device and inode, through links), as
// when a program's output is named as its input too; false when either names nothing.
bool SameFile(const char* a, const char* b);

// Reads the regular file `path` from its start into `bytes` (replacing what it held),
// at most `limit` bytes. `fileSize`, if given, receives the file's length in bytes (0
// on failure); `stamp`, if given, the stamp of the very file read. False when the file
// can't be opened, is not a regular file or a read fails; then `bytes` is empty and
// `problem` says why.
bool ReadRegularFile(const char* path, std::vector<uint8_t>& bytes, std::string& problem, size_t limit = SIZE_MAX,
                     uint64_t* fileSize = nullptr, FileStamp* stamp = nullptr);
