#include "tools/common/ToolInput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/NameText.h"
#include "files/RegularFile.h"

std::string ShownName(const std::string& path)
{
    return EscapedName(path);
}

std::string ShownError(const std::string& path, const std::string& error)
{
    const std::string prefix = path + ": ";
    if (error.compare(0, prefix.size(), prefix) != 0) {
        return error;
    }
    return ShownName(path) + ": " + error.substr(prefix.size());
}

bool OutputIsInput(const std::string& output, const std::string& input, std::string& error)
{
    if (!SameFile(output.c_str(), input.c_str())) {
        return false;
    }
    error = ShownName(output) + ": is the same file as the input " + ShownName(input) +
            "; writing it would destroy the input";
    return true;
}

int OpenInput(const std::string& path, uint64_t& size, std::string& error)
{
    std::string problem;
    int fd = OpenRegularFileFd(path.c_str(), &problem);
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) != 0) {
        problem = strerror(errno);
        close(fd);
        fd = -1;
    }
    if (fd < 0) {
        error = ShownName(path) + ": " + problem;
        return -1;
    }
    size = uint64_t(info.st_size);
    return fd;
}

bool ReadInputAt(int fd, const std::string& path, uint64_t offset, void* destination, size_t count, std::string& error)
{
    uint8_t* at = static_cast<uint8_t*>(destination);
    while (count > 0) {
        ssize_t got = pread(fd, at, count, off_t(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = ShownName(path) + ": " +
                    (got < 0 ? std::string("read failed: ") + strerror(errno)
                             : std::string("ends early: it changed while it was read"));
            return false;
        }
        at += got;
        offset += uint64_t(got);
        count -= size_t(got);
    }
    return true;
}
