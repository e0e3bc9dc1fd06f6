// Fuzzes the archive directory reader as llpack lists an archive: the input, held in
// memory, is read as a stream; the header, then every record the count asks for until
// one is cut short, checking the reader's own promises along the way.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/QPackDirectory.h"

namespace {
void Check(bool promise)
{
    if (!promise) {
        abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    Check(stream != nullptr);
    uint32_t version = 0;
    uint32_t count = 0;
    QPackHeaderResult header = ReadPackHeader(stream, version, count);
    Check((header == PACK_NOT_ARCHIVE) == (size < PACK_MAGIC_SIZE || memcmp(data, "LLPACK", PACK_MAGIC_SIZE) != 0));
    Check(header == PACK_NOT_ARCHIVE || (header == PACK_HEADER_OK) == (size >= PACK_HEADER_SIZE));
    uint64_t read = 0;
    for (uint32_t i = 0; header == PACK_HEADER_OK && i < count; ++i) {
        long before = ftell(stream);
        QPackEntry entry;
        if (!ReadPackEntry(stream, entry)) {
            break;
        }
        ++read;
        long after = ftell(stream);
        size_t stored = data[before];
        // One length byte, the stored name, two 4-byte numbers; the name stops at a zero.
        Check(after - before == long(1 + stored + 8));
        Check(strlen(entry.name) <= stored);
        Check(memcmp(entry.name, data + before + 1, strlen(entry.name)) == 0);
        Check(PackEntryFits(entry, size) == (uint64_t(entry.offset) + entry.length <= size));
    }
    // Every record takes at least nine bytes past the header.
    Check(read <= (size >= PACK_HEADER_SIZE ? (size - PACK_HEADER_SIZE) / 9 : 0));
    fclose(stream);
    return 0;
}
