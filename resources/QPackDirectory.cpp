#include "resources/QPackDirectory.h"

#include <cstring>

#include "math/LittleEndian.h"

namespace {
const char packMagic[PACK_MAGIC_SIZE] = {'L', 'L', 'P', 'A', 'C', 'K'};
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
    version = ReadLE32(header + 6);
    count = ReadLE32(header + 10);
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
    entry.offset = ReadLE32(numbers);
    entry.length = ReadLE32(numbers + 4);
    return true;
}

bool PackEntryFits(const QPackEntry& entry, uint64_t archiveBytes)
{
    return uint64_t(entry.offset) + entry.length <= archiveBytes;
}
