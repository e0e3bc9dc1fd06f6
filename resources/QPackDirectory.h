#pragma once
// The directory of an "LLPACK" archive, read from a stream one record at a time: the
// 14-byte header ("LLPACK", a format version readers skip, the entry count), then per
// entry its name length (1 byte), name, data offset and data length (4 bytes each,
// little-endian). The one reader of that layout: QPackFile looks names up through it
// and llpack lists and extracts through it. Reads only; never prints.

#include <cstdint>
#include <cstdio>

enum : uint32_t {
    PACK_HEADER_SIZE = 14,  // magic 6, version 4, entry count 4
    PACK_MAGIC_SIZE = 6,
};

enum QPackHeaderResult {
    PACK_HEADER_OK = 0,
    PACK_NOT_ARCHIVE,   // fewer than 6 bytes, or they are not "LLPACK"
    PACK_HEADER_SHORT,  // "LLPACK", but the file ends before the entry count does
};

struct QPackEntry {
    char name[256];   // the stored name up to its first zero byte, NUL-terminated
    uint32_t offset;  // of the entry's data, from the archive's start
    uint32_t length;  // bytes of the entry's data
};

// Reads the header from the start of `file` and leaves the file at the first record.
// version and count are set only for PACK_HEADER_OK.
QPackHeaderResult ReadPackHeader(FILE* file, uint32_t& version, uint32_t& count);

// Reads the record at the file's position into `entry`. False when the file ends
// inside the record (entry then holds nothing useful). Every record takes at least
// 9 bytes, so a count larger than the file can hold ends at the file's end.
bool ReadPackEntry(FILE* file, QPackEntry& entry);

// True when the entry's data lies within an archive of `archiveBytes` bytes.
bool PackEntryFits(const QPackEntry& entry, uint64_t archiveBytes);
