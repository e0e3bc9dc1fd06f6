#include "files/RegularFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFileFd(const char* path, std::string* problem)
{
    // O_NONBLOCK only for the open itself: opening a FIFO for reading would otherwise
    // wait for a writer. Once the file is known to be regular, reads block as usual.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (problem)
            *problem = strerror(errno);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || fcntl(fd, F_SETFL, 0) != 0) {
        if (problem)
            *problem = strerror(errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        if (problem)
            *problem = S_ISDIR(info.st_mode) ? "is a folder, not a regular file" : "not a regular file";
        close(fd);
        return -1;
    }
    return fd;
}

FILE* OpenRegularFile(const char* path, std::string* problem)
{
    int fd = OpenRegularFileFd(path, problem);
    if (fd < 0)
        return nullptr;
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        if (problem)
            *problem = strerror(errno);
        close(fd);
    }
    return file;
}

bool ReadDescriptor(int fd, std::vector<uint8_t>& bytes, std::string& problem, size_t limit)
{
    bytes.clear();
    uint8_t chunk[65536];
    while (bytes.size() < limit) {
        size_t want = limit - bytes.size() < sizeof(chunk) ? limit - bytes.size() : sizeof(chunk);
        ssize_t got = read(fd, chunk, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            problem = std::string("read failed: ") + strerror(errno);
            bytes.clear();
            return false;
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return true;
}

namespace {

FileStamp StampFrom(const struct stat& info)
{
    return FileStamp{uint64_t(info.st_dev), uint64_t(info.st_ino), uint64_t(info.st_size), int64_t(info.st_mtim.tv_sec),
                     int64_t(info.st_mtim.tv_nsec)};
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const
{
    return device == other.device && inode == other.inode && size == other.size && modified == other.modified &&
           modifiedNano == other.modifiedNano;
}

bool StampOf(const char* path, FileStamp& stamp)
{
    struct stat info;
    if (stat(path, &info) != 0)
        return false;
    stamp = StampFrom(info);
    return true;
}

bool SameFile(const char* a, const char* b)
{
    FileStamp first, second;
    return StampOf(a, first) && StampOf(b, second) && first.device == second.device && first.inode == second.inode;
}

bool ReadRegularFile(const char* path, std::vector<uint8_t>& bytes, std::string& problem, size_t limit,
                     uint64_t* fileSize, FileStamp* stamp)
{
    bytes.clear();
    if (fileSize)
        *fileSize = 0;
    int fd = OpenRegularFileFd(path, &problem);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0) {
        problem = strerror(errno);
        close(fd);
        return false;
    }
    // The size is a hint for the buffer only: the file may grow or shrink while it is read.
    size_t expected = static_cast<size_t>(info.st_size);
    bytes.reserve(expected < limit ? expected : limit);
    bool read = ReadDescriptor(fd, bytes, problem, limit);
    close(fd);
    if (read && fileSize)
        *fileSize = static_cast<uint64_t>(info.st_size);
    if (read && stamp)
        *stamp = StampFrom(info);
    return read;
}
