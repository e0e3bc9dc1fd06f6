#include "files/ReplaceFile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int maxLinkHops = 40;  // as the kernel's own limit on a chain of links

// The folder part of `path` including its final '/', or "" for a bare name.
std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows `path` through symbolic links to the name of the file they finally point
// at. False (ELOOP in errno) for a chain that never ends.
bool ResolveLinks(const char* path, std::string& resolved)
{
    resolved = path;
    char target[PATH_MAX];
    for (int hops = 0; hops < maxLinkHops; ++hops) {
        ssize_t n = readlink(resolved.c_str(), target, sizeof(target) - 1);
        if (n < 0)
            return true;  // not a link (or nothing there): this is the file
        target[n] = 0;
        resolved = target[0] == '/' ? std::string(target) : FolderOf(resolved) + target;
    }
    errno = ELOOP;
    return false;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count, off_t at)
{
    while (count > 0) {
        ssize_t n = pwrite(fd, bytes, count, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes += n;
        count -= static_cast<size_t>(n);
        at += n;
    }
    return true;
}

// Fails with EFBIG when `size` bytes would pass the process's file-size limit: checked
// before a write in place, which could not be undone half-way.
bool WithinSizeLimit(size_t size)
{
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    return true;
}

bool Fail(std::string& problem)
{
    problem = strerror(errno);
    return false;
}

// Writes into the file itself, so that every hard link to it sees the new bytes.
bool WriteInPlace(const std::string& path, const struct stat& before, const uint8_t* bytes, size_t size,
                  std::string& problem)
{
    if (!WithinSizeLimit(size))
        return Fail(problem);
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Fail(problem);
    struct stat now;
    if (fstat(fd, &now) != 0 || fcntl(fd, F_SETFL, 0) != 0) {
        Fail(problem);
        close(fd);
        return false;
    }
    if (!S_ISREG(now.st_mode) || now.st_ino != before.st_ino || now.st_dev != before.st_dev) {
        problem = "changed while it was being saved";
        close(fd);
        return false;
    }
    // Reserve the room first, so a full disk refuses the write before any byte changes.
    // File systems without reservations just go on.
    if (size > static_cast<size_t>(now.st_size) && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        Fail(problem);
        close(fd);
        return false;
    }
    bool ok = WriteAll(fd, bytes, size, 0) && ftruncate(fd, off_t(size)) == 0 && fsync(fd) == 0;
    if (!ok)
        Fail(problem);
    if (close(fd) != 0 && ok)
        ok = Fail(problem);
    return ok;
}

// Flushes the folder so that the rename itself survives a crash. Best effort: some
// file systems refuse to sync a folder, and the file's bytes are on disk already.
void SyncFolder(const std::string& folder)
{
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool WriteThroughTemporary(const std::string& path, const struct stat* before, const uint8_t* bytes, size_t size,
                           std::string& problem)
{
    // A short hidden name in the target's folder (so a target name near the length
    // limit still gets one), so the rename stays on one file system and is atomic.
    // O_EXCL never writes through anyone else's file; the mode 0666 goes through the
    // umask as a plain create does.
    std::string folder = FolderOf(path);
    std::string temporary;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + ".qpsave-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Fail(problem);
    }
    if (fd < 0)
        return Fail(problem);
    if (before) {
        // Owner first: a change of owner may clear set-id bits, which the mode then restores.
        if (fchown(fd, before->st_uid, before->st_gid) != 0) {
            // Only root may give a file away: others keep the file as their own.
        }
        fchmod(fd, before->st_mode & 07777);
    }
    bool ok = WriteAll(fd, bytes, size, 0) && fsync(fd) == 0;
    if (!ok)
        Fail(problem);
    if (close(fd) != 0 && ok)
        ok = Fail(problem);
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0)
        ok = Fail(problem);
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace

bool ReplaceFileWhole(const char* path, const void* data, size_t size, std::string& problem)
{
    std::string target;
    if (!ResolveLinks(path, target))
        return Fail(problem);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    struct stat before;
    if (lstat(target.c_str(), &before) != 0) {
        if (errno != ENOENT)
            return Fail(problem);
        return WriteThroughTemporary(target, nullptr, bytes, size, problem);
    }
    if (!S_ISREG(before.st_mode)) {
        problem = S_ISDIR(before.st_mode) ? "is a folder, not a regular file" : "not a regular file";
        return false;
    }
    // The file's own permission decides, as it would for a write in place; renaming
    // over it would need only the folder's.
    if (access(target.c_str(), W_OK) != 0)
        return Fail(problem);
    if (before.st_nlink > 1)
        return WriteInPlace(target, before, bytes, size, problem);
    return WriteThroughTemporary(target, &before, bytes, size, problem);
}
