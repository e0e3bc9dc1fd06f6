#include "resources/QPackDirectory.h"

#include <cstring>

namespace {
const char packMagic[PACK_MAGIC_SIZE] = {'L', 'L', 'P', 'A', 'C', 'K'};

uint32_t GetU32(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}
}  // namespace

QPackHeaderResult ReadPackHeader(FILE* file, uint32_t& version, uint32_t& count)
{
    unsigned char header[PACK_HEADER_SIZE];
    size_t got = fseek(file, 0, SEEK_SET) == 0 ? fread(header, 1, sizeof(header), file) : 0;
    if (got < PACK_MAGIC_SIZE || memcmp(header, packMagic, PACK_MAGIC_SIZE) != 0) {
        return PACK_NOT_ARCHIVE;
    }
    if (got < PACK_HEADER_SIZE) {
        return PACK_HEADER_SHORT;
    }
    version = GetU32(header + 6);
    count = GetU32(header + 10);
    return PACK_HEADER_OK;
}

bool ReadPackEntry(FILE* file, QPackEntry& entry)
{
    int length = fgetc(file);
    if (length == EOF || fread(entry.name, 1, size_t(length), file) != size_t(length)) {
        return false;
    }
    entry.name[length] = '\0';
    unsigned char numbers[8];
    if (fread(numbers, 1, sizeof(numbers), file) != sizeof(numbers)) {
        return false;
    }
    entry.offset = GetU32(numbers);
    entry.length = GetU32(numbers + 4);
    return true;
}

bool PackEntryFits(const QPackEntry& entry, uint64_t archiveBytes)
{
    return uint64_t(entry.offset) + entry.length <= archiveBytes;
}
