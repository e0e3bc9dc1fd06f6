#pragma once
// QPackFile: a read-only byte stream over one named resource, either an entry of an
// "LLPACK" archive (read through a window of at most 65536 bytes) or, with no archive,
// a loose file whose path is the resource name. Owns both streams and the window; lives
// on a loader's stack for one load. Never writes files and never prints.

#include <cstdint>
#include <cstdio>
#include <string>

// Origins of QPackFile::Seek. The order differs from the standard library's SEEK_* codes.
enum QSeekOrigin {
    FromStart = 0,
    FromEnd = 1,
    FromCurrent = 2,
};

class QPackFile {
public:
    // Opens and checks the archive. A null name, a missing file or a file that does not
    // start with "LLPACK" leaves the object in loose mode, without a message.
    explicit QPackFile(const char* archiveName);
    ~QPackFile();
    QPackFile(const QPackFile&) = delete;
    QPackFile& operator=(const QPackFile&) = delete;

    // Selects the resource. Archive mode: false when the name is not in the directory, the
    // directory ends early, the entry's bytes run past the archive's end or the window
    // can't be had (no entry is open then). An entry of length 0 is found (true) but
    // counts as no entry open. Loose mode: opens the name itself; false when that fails.
    // On failure `problem`, if given, says why: in loose mode the file library's words
    // ("No such file or directory", "is a folder, not a regular file"), in archive mode
    // what was wrong with the entry.
    bool OpenEntry(const char* name, std::string* problem = nullptr);
    // Copies up to count bytes; returns how many came (0 for a count of 0 or less, with no
    // entry or file open, or at the end).
    uint32_t Read(void* destination, int32_t count);
    // Archive mode: the target must lie within the entry (0 to length - 1), otherwise
    // false and nothing moves; FromEnd with offset 0 is the last byte. Loose mode: the
    // standard library's seek. False with nothing open.
    bool Seek(int32_t offset, QSeekOrigin origin);
    uint32_t Tell();     // entry-relative position; 0 with nothing open
    bool AtEnd();        // no byte left to read; false with nothing open
    uint32_t GetSize();  // length of the entry or loose file; 0 with nothing open

    uint32_t GetWindowSize() const { return windowSize; }  // bytes of the read window (archive mode)

private:
    void FillWindow(uint32_t entryPosition);
    void CloseEntry();

    FILE* archive;          // the open archive; null in loose mode
    uint32_t entryLength;   // bytes of the open entry; 0 = no entry open
    uint32_t entryOffset;   // absolute offset of the entry's data in the archive
    unsigned char* window;  // holds entry bytes [windowStart, windowStart + windowSize)
    uint32_t windowSize;    // capacity of the window: min(entryLength, 65536)
    uint32_t windowStart;   // entry position of the window's first byte
    uint32_t position;      // entry-relative read position, 0 to entryLength
    FILE* looseFile;        // loose mode's open file; null otherwise
    uint64_t archiveBytes;  // size of the archive file, to refuse entries running past it
};
