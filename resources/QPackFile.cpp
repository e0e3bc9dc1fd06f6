#include "resources/QPackFile.h"

#include "resources/QPackDirectory.h"

#include <cstdlib>
#include <cstring>

#include "files/RegularFile.h"

namespace {
// Says why an entry can't be opened, where the caller wants to know; false.
bool Refuse(std::string* problem, const char* why)
{
    if (problem != nullptr) {
        *problem = why;
    }
    return false;
}

const uint32_t maxWindowSize = 65536;

}  // namespace

QPackFile::QPackFile(const char* archiveName)
    : archive(nullptr),
      entryLength(0),
      entryOffset(0),
      window(nullptr),
      windowSize(0),
      windowStart(0),
      position(0),
      looseFile(nullptr),
      archiveBytes(0)
{
    if (archiveName == nullptr) {
        return;
    }
    // Only regular files: a FIFO or device named as the archive or a resource would
    // block the load (or feed it endless bytes), so it is refused like a missing file.
    archive = OpenRegularFile(archiveName);
    if (archive == nullptr) {
        return;
    }
    // A file that starts "LLPACK" is an archive even when its header ends early; its
    // lookups then find nothing.
    uint32_t version = 0;
    uint32_t count = 0;
    if (ReadPackHeader(archive, version, count) == PACK_NOT_ARCHIVE || fseek(archive, 0, SEEK_END) != 0) {
        fclose(archive);
        archive = nullptr;
        return;
    }
    long size = ftell(archive);
    archiveBytes = size > 0 ? uint64_t(size) : 0;
}

QPackFile::~QPackFile()
{
    if (looseFile != nullptr) {
        fclose(looseFile);
    }
    if (archive != nullptr) {
        CloseEntry();
        fclose(archive);
    }
}

bool QPackFile::OpenEntry(const char* name, std::string* problem)
{
    if (archive == nullptr) {
        // A second open replaces the first rather than leaking it.
        if (looseFile != nullptr) {
            fclose(looseFile);
        }
        looseFile = OpenRegularFile(name, problem);
        return looseFile != nullptr;
    }

    CloseEntry();
    uint32_t version = 0;
    uint32_t count = 0;
    if (ReadPackHeader(archive, version, count) != PACK_HEADER_OK) {
        return Refuse(problem, "the archive's header can't be read");
    }
    // Every record is read and checked: a directory that ends before its count is used up
    // ends the lookup with the name not found. Each record takes at least nine bytes, so
    // the loop ends with the file even when the count is absurd. The first entry of a
    // name wins.
    QPackEntry entry;
    bool found = false;
    for (uint32_t i = 0; i < count && !found; ++i) {
        if (!ReadPackEntry(archive, entry)) {
            return Refuse(problem, "not in the archive (its directory ends early)");
        }
        found = strcmp(entry.name, name) == 0;
    }
    if (!found) {
        return Refuse(problem, "not in the archive");
    }
    if (!PackEntryFits(entry, archiveBytes)) {
        return Refuse(problem, "the archive entry runs past the archive's end");
    }
    uint32_t offset = entry.offset;
    uint32_t length = entry.length;
    if (length == 0) {
        return true;  // found, but nothing to read: counts as no entry open
    }
    uint32_t size = length <= maxWindowSize ? length : maxWindowSize;
    window = static_cast<unsigned char*>(malloc(size));
    if (window == nullptr) {
        return Refuse(problem, "out of memory");
    }
    entryOffset = offset;
    entryLength = length;
    windowSize = size;
    FillWindow(0);
    return true;
}

uint32_t QPackFile::Read(void* destination, int32_t count)
{
    if (count <= 0) {
        return 0;
    }
    if (archive == nullptr) {
        return looseFile != nullptr ? uint32_t(fread(destination, 1, size_t(count), looseFile)) : 0;
    }
    if (entryLength == 0) {
        return 0;
    }
    unsigned char* out = static_cast<unsigned char*>(destination);
    uint32_t wanted = uint32_t(count);
    uint32_t done = 0;
    while (done < wanted && !AtEnd()) {
        uint32_t chunk = wanted - done;
        if (entryLength - position < chunk) {
            chunk = entryLength - position;
        }
        if (windowStart + windowSize - position < chunk) {
            chunk = windowStart + windowSize - position;
        }
        memcpy(out + done, window + (position - windowStart), chunk);
        position += chunk;
        done += chunk;
        if (position == windowStart + windowSize && !AtEnd()) {
            FillWindow(position);
        }
    }
    return done;
}

bool QPackFile::Seek(int32_t offset, QSeekOrigin origin)
{
    if (archive == nullptr) {
        if (looseFile == nullptr) {
            return false;
        }
        int whence = origin == FromStart ? SEEK_SET : origin == FromEnd ? SEEK_END : SEEK_CUR;
        return fseek(looseFile, offset, whence) == 0;
    }
    if (entryLength == 0) {
        return false;
    }
    int64_t target;
    switch (origin) {
    case FromStart: target = offset; break;
    case FromEnd: target = int64_t(entryLength) - 1 + offset; break;
    case FromCurrent: target = int64_t(position) + offset; break;
    default: return false;
    }
    if (target < 0 || target > int64_t(entryLength) - 1) {
        return false;
    }
    if (target < int64_t(windowStart) || target > int64_t(windowStart) + windowSize) {
        FillWindow(uint32_t(target));
    }
    position = uint32_t(target);
    return true;
}

uint32_t QPackFile::Tell()
{
    if (archive == nullptr) {
        if (looseFile == nullptr) {
            return 0;
        }
        long at = ftell(looseFile);
        return at > 0 ? uint32_t(at) : 0;
    }
    return entryLength != 0 ? position : 0;
}

bool QPackFile::AtEnd()
{
    if (archive == nullptr) {
        if (looseFile == nullptr) {
            return false;
        }
        if (fgetc(looseFile) == EOF) {
            return true;
        }
        fseek(looseFile, -1, SEEK_CUR);
        return false;
    }
    return entryLength != 0 && position >= entryLength;
}

uint32_t QPackFile::GetSize()
{
    if (archive == nullptr) {
        if (looseFile == nullptr) {
            return 0;
        }
        long at = ftell(looseFile);
        if (at < 0 || fseek(looseFile, 0, SEEK_END) != 0) {
            return 0;
        }
        long size = ftell(looseFile);
        fseek(looseFile, at, SEEK_SET);
        return size > 0 ? uint32_t(size) : 0;
    }
    return entryLength;
}

void QPackFile::FillWindow(uint32_t entryPosition)
{
    // The entry's byte range was checked against the archive's size when it was opened;
    // should the file still come up short, the rest of the window is zeroed rather than
    // serving bytes of an earlier fill.
    uint32_t wanted = entryLength - entryPosition < windowSize ? entryLength - entryPosition : windowSize;
    size_t got = 0;
    if (fseek(archive, long(uint64_t(entryOffset) + entryPosition), SEEK_SET) == 0) {
        got = fread(window, 1, wanted, archive);
    }
    if (got < wanted) {
        memset(window + got, 0, wanted - got);
    }
    windowStart = entryPosition;
}

void QPackFile::CloseEntry()
{
    free(window);
    window = nullptr;
    entryLength = 0;
    entryOffset = 0;
    windowSize = 0;
    windowStart = 0;
    position = 0;
}
