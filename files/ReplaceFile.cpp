#include "files/ReplaceFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/RegularFile.h"
#include "files/StreamedFile.h"
#include "files/TemporaryFile.h"

namespace {

const int maxLinkHops = 40;        // as the kernel's own limit on a chain of links
const unsigned maxBackups = 9999;  // NAME.bak.9999 is the last backup name tried

// The n-th backup name: NAME.bak, then NAME.bak.1, NAME.bak.2, ...
std::string BackupCandidate(const std::string& backup, unsigned n)
{
    return n == 0 ? backup : backup + "." + std::to_string(n);
}

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

// Writes into the file itself, so that every hard link to it sees the new bytes:
// `fill` writes the `size` bytes into the open file and cuts it to that length.
bool FillInPlace(const std::string& path, const struct stat& before, size_t size,
                 const std::function<bool(int fd)>& fill, std::string& problem)
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
    bool ok = fill(fd) && fsync(fd) == 0;
    if (!ok)
        Fail(problem);
    if (close(fd) != 0 && ok)
        ok = Fail(problem);
    return ok;
}

bool WriteInPlace(const std::string& path, const struct stat& before, const uint8_t* bytes, size_t size,
                  std::string& problem)
{
    return FillInPlace(
        path, before, size, [&](int fd) { return WriteAll(fd, bytes, size, 0) && ftruncate(fd, off_t(size)) == 0; },
        problem);
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
    // The temporary lives in the target's folder, so the rename stays on one file
    // system and is atomic.
    std::string folder = FolderOf(path);
    TemporaryFile temporary;
    if (!temporary.Create(folder, problem))
        return false;
    if (before) {
        // Owner first: a change of owner may clear set-id bits, which the mode then restores.
        if (fchown(temporary.Fd(), before->st_uid, before->st_gid) != 0) {
            // Only root may give a file away: others keep the file as their own.
        }
        fchmod(temporary.Fd(), before->st_mode & 07777);
    }
    if (!WriteAll(temporary.Fd(), bytes, size, 0) || fsync(temporary.Fd()) != 0)
        return Fail(problem);
    if (!temporary.RenameOver(path, problem))
        return false;
    SyncFolder(folder);
    return true;
}

// Copies the open file `from` of `size` bytes into `to`, range by range of data, so
// holes stay holes and memory stays one buffer whatever the size.
bool CopyData(int from, int to, off_t size)
{
    static const size_t chunkSize = 1 << 20;
    std::vector<uint8_t> chunk(chunkSize);
    off_t at = 0;
    while (at < size) {
        off_t data = lseek(from, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;  // only a hole is left
        if (data < 0) {
            data = at;  // no hole finding here: copy everything
        }
        off_t hole = lseek(from, data, SEEK_HOLE);
        if (hole < 0)
            hole = size;
        for (off_t offset = data; offset < hole;) {
            size_t want = size_t(std::min<off_t>(hole - offset, off_t(chunkSize)));
            ssize_t got = pread(from, chunk.data(), want, offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                break;
            if (!WriteAll(to, chunk.data(), size_t(got), offset))
                return false;
            offset += got;
        }
        at = hole;
    }
    return ftruncate(to, size) == 0 && fsync(to) == 0;
}

// Keeps the bytes of `target` under the first free of `backup` and `backup`.N by a
// copy: for a file that can't get a second link (another file system, a file system
// without links, or one whose link count must stay). The copy is complete before it
// gets its name. False with the reason in `problem`; then no backup exists.
bool CopyAsBackup(const std::string& target, const std::string& backup, std::string& kept, std::string& problem)
{
    int from = OpenRegularFileFd(target.c_str(), &problem);
    if (from < 0)
        return false;
    struct stat info;
    TemporaryFile copy;
    bool ok = fstat(from, &info) == 0 ? copy.Create(FolderOf(backup), problem) : Fail(problem);
    if (ok) {
        fchmod(copy.Fd(), info.st_mode & 0777);
        ok = CopyData(from, copy.Fd(), info.st_size) || Fail(problem);
    }
    close(from);
    for (unsigned n = 0; ok; ++n) {
        std::string candidate = BackupCandidate(backup, n);
        int error = 0;
        if (copy.Keep(candidate, error, problem)) {
            kept = candidate;
            return true;
        }
        ok = error == EEXIST && n < maxBackups;
    }
    return false;
}

// Keeps `target` (a regular file, `before` its status) under the first free of
// `backup` and `backup`.N: a second link where the file system allows it (no copy,
// holes kept), else a copy. A file with several links already is copied, since
// it is written in place and a link would see the new bytes.
bool KeepAsBackup(const std::string& target, const struct stat& before, const std::string& backup, std::string& kept,
                  std::string& problem)
{
    if (before.st_nlink == 1) {
        for (unsigned n = 0; n <= maxBackups; ++n) {
            std::string candidate = BackupCandidate(backup, n);
            if (link(target.c_str(), candidate.c_str()) == 0) {
                kept = candidate;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        // Links refused here (another file system, none at all, too many, or not this
        // user's to link): a copy does it.
        if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP && errno != EACCES)
            return Fail(problem);
    }
    return CopyAsBackup(target, backup, kept, problem);
}

// Resolves `path` through links to `target` and checks what is there: nothing
// (`existed` false), or a regular file the user may write (`before` its state). False
// with the reason when the target is refused.
bool CheckTarget(const char* path, std::string& target, struct stat& before, bool& existed, std::string& problem)
{
    PrepareForFileWrites();
    if (!ResolveLinks(path, target))
        return Fail(problem);
    existed = lstat(target.c_str(), &before) == 0;
    if (!existed)
        return errno == ENOENT || Fail(problem);
    if (!S_ISREG(before.st_mode)) {
        problem = S_ISDIR(before.st_mode) ? "is a folder, not a regular file" : "not a regular file";
        return false;
    }
    // The file's own permission decides, as it would for a write in place; renaming
    // over it would need only the folder's.
    return access(target.c_str(), W_OK) == 0 || Fail(problem);
}

}  // namespace

namespace {

// Replaces the file at `path` (through links); when `kept` is given, keeps an existing
// file first as a backup named after `path` and says which name it got.
bool Replace(const char* path, const void* data, size_t size, std::string* kept, std::string& problem)
{
    std::string target;
    struct stat before;
    bool existed = false;
    if (!CheckTarget(path, target, before, existed, problem))
        return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (!existed)
        return WriteThroughTemporary(target, nullptr, bytes, size, problem);
    bool linkedBefore = before.st_nlink > 1;
    if (kept && !KeepAsBackup(target, before, std::string(path) + ".bak", *kept, problem))
        return false;
    if (linkedBefore)
        return WriteInPlace(target, before, bytes, size, problem);
    return WriteThroughTemporary(target, &before, bytes, size, problem);
}

}  // namespace

bool ReplaceFileWhole(const char* path, const void* data, size_t size, std::string& problem)
{
    return Replace(path, data, size, nullptr, problem);
}

bool ReplaceFileKeepingOld(const char* path, const void* data, size_t size, std::string& kept, std::string& problem)
{
    kept.clear();
    return Replace(path, data, size, &kept, problem);
}

std::string FreeBackupName(const char* path)
{
    std::string backup = std::string(path) + ".bak";
    for (unsigned n = 0; n <= maxBackups; ++n) {
        struct stat info;
        std::string candidate = BackupCandidate(backup, n);
        if (lstat(candidate.c_str(), &info) != 0 && errno == ENOENT)
            return candidate;
    }
    return std::string();
}

bool StreamedFile::Begin(const char* path, std::string& problem)
{
    if (!CheckTarget(path, target, before, existed, problem))
        return false;
    // A hard-linked target is filled in place from the complete temporary, which may
    // then live anywhere; otherwise it takes the target's place by a rename.
    if (!temporary.Create(FolderOf(target), problem))
        return false;
    if (existed && before.st_nlink <= 1) {
        if (fchown(temporary.Fd(), before.st_uid, before.st_gid) != 0) {
            // Only root may give a file away: others keep the file as their own.
        }
        fchmod(temporary.Fd(), before.st_mode & 07777);
    }
    return true;
}

bool StreamedFile::Append(const void* data, size_t size, std::string& problem)
{
    if (failed || temporary.Fd() < 0) {
        problem = "an earlier write failed";
        return false;
    }
    if (!WriteAll(temporary.Fd(), static_cast<const uint8_t*>(data), size, off_t(written))) {
        failed = true;
        temporary.Discard();
        return Fail(problem);
    }
    written += size;
    return true;
}

bool StreamedFile::Commit(std::string& problem)
{
    if (failed || temporary.Fd() < 0) {
        problem = "an earlier write failed";
        return false;
    }
    failed = true;  // one commit only
    if (existed && before.st_nlink > 1) {
        const int from = temporary.Fd();
        const bool ok = FillInPlace(
            target, before, written, [&](int fd) { return CopyData(from, fd, off_t(written)); }, problem);
        temporary.Discard();
        return ok;
    }
    if (fsync(temporary.Fd()) != 0) {
        Fail(problem);
        temporary.Discard();
        return false;
    }
    if (!temporary.RenameOver(target, problem))
        return false;
    SyncFolder(FolderOf(target));
    return true;
}
