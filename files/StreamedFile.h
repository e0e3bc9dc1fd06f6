#pragma once
// A file replaced whole by bytes that come in pieces (an animation encoded frame by
// frame): each piece goes straight to the temporary in the target's folder, so memory
// holds none of them, and the target changes only at Commit, under ReplaceFileWhole's
// rules (links kept, FIFOs, devices, folders and read-only files refused, hard-linked
// files written in place from the complete temporary, permissions kept). A stream that
// is dropped, fails, or whose program a signal ends leaves the target as it was and no
// temporary behind.

#include <cstddef>
#include <string>
#include <sys/stat.h>

#include "files/TemporaryFile.h"

class StreamedFile {
public:
    StreamedFile() = default;
    ~StreamedFile() = default;  // an uncommitted stream's temporary goes with it
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    // Checks the target `path` and opens the temporary. False with a short reason in
    // `problem` when the target is refused or the temporary can't be made; nothing
    // is then created or changed.
    bool Begin(const char* path, std::string& problem);
    // Appends `size` bytes. False with the reason (a full disk, "File too large")
    // when a write fails; the stream then takes nothing more and commits nothing.
    bool Append(const void* data, size_t size, std::string& problem);
    // Flushes the whole file and puts it in the target's place. False with the reason
    // when that fails; the target is then as it was and the temporary is gone.
    bool Commit(std::string& problem);

private:
    TemporaryFile temporary;
    std::string target;     // the file the path finally names, through links
    struct stat before {};  // the target as Begin found it, when `existed`
    bool existed = false;
    bool failed = false;
    size_t written = 0;  // bytes appended so far
};
