#include "tools/common/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool WriteFileWhole(const std::string& path, const void* data, size_t size, std::string& error)
{
    // The temporary name sits beside the target, so rename stays within one file system.
    std::string temporary = path + ".tmpXXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        error = path + ": cannot create a temporary file beside it: " + strerror(errno);
        return false;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t wrote = write(fd, bytes + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            error = path + ": write failed: " + strerror(errno);
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        done += size_t(wrote);
    }
    // mkstemp makes the file 0600; give it the usual mode for new files.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    if (fsync(fd) != 0 || close(fd) != 0) {
        error = path + ": cannot flush the file: " + strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": cannot put the file in place: " + strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    return WriteFileWhole(path, bytes.data(), bytes.size(), error);
}

bool ReadFileWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot open: " + strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        error = path + ": read failed";
        return false;
    }
    return true;
}
