#include "files/TemporaryFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char namePrefix[] = ".qpsave-";
const char nameSuffix[] = ".tmp";
const int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};
const int signalCount = 3;

// The named temporaries of this process, for the signal handlers to remove. A slot is
// free (0), being filled (1) or live (2); the handlers read only live ones, so they
// never see a half-copied path. Several threads may write at once (a pool of encoders),
// hence a few slots; a write that finds none free goes on unlisted.
const int slotCount = 16;
struct Slot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
Slot slots[slotCount];

struct sigaction previousActions[signalCount];  // what each ending signal did before
std::once_flag prepared;
std::atomic<bool> unnamedWanted{true};

// How an unnamed file gets a name: through its /proc/self/fd link (any user), or by
// AT_EMPTY_PATH (which needs a capability that root has). Decided once.
enum class Naming { Unknown, ProcLink, EmptyPath, None };
std::atomic<Naming> naming{Naming::Unknown};

std::mutex cleanedMutex;
std::set<std::string> cleanedFolders;  // folders already rid of stale temporaries

void RemoveListedTemporaries()
{
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == 2)
            unlink(slot.path);
}

int SignalIndex(int signal)
{
    for (int i = 0; i < signalCount; ++i)
        if (endingSignals[i] == signal)
            return i;
    return -1;
}

// A signal that ends the program takes its named temporaries with it. A handler that
// was there before runs instead, and keeps them: the program goes on and may still
// finish its write.
void OnEndingSignal(int signal, siginfo_t* info, void* context)
{
    int index = SignalIndex(signal);
    if (index < 0)
        return;
    const struct sigaction& previous = previousActions[index];
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    int savedErrno = errno;
    RemoveListedTemporaries();
    // Default again, and raised: the signal is blocked until this handler returns,
    // then ends the program as it would have without the handler.
    sigaction(signal, &previous, nullptr);
    raise(signal);
    errno = savedErrno;
}

// A write past the file-size limit then fails with EFBIG. Looked at before every
// write, since a program may have put the default back; a handler of its own stays.
void IgnoreFileSizeSignal()
{
    struct sigaction current;
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL)
        signal(SIGXFSZ, SIG_IGN);
}

void InstallEndingHandlers()
{
    for (int i = 0; i < signalCount; ++i) {
        struct sigaction current;
        if (sigaction(endingSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;  // an ignored signal (nohup) stays ignored
        previousActions[i] = current;
        struct sigaction handler = {};
        handler.sa_sigaction = OnEndingSignal;
        handler.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&handler.sa_mask);
        sigaction(endingSignals[i], &handler, nullptr);
    }
}

int Listed(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < slotCount; ++i) {
        int expected = 0;
        if (slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(2, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void Unlisted(int& slot)
{
    if (slot >= 0)
        slots[slot].state.store(0, std::memory_order_release);
    slot = -1;
}

// The PID in a name of the form .qpsave-PID-N.tmp, or 0 for any other name.
pid_t TemporaryOwner(const char* name)
{
    size_t prefix = sizeof(namePrefix) - 1, suffix = sizeof(nameSuffix) - 1, length = std::strlen(name);
    if (length <= prefix + suffix || std::strncmp(name, namePrefix, prefix) != 0 ||
        std::strcmp(name + length - suffix, nameSuffix) != 0)
        return 0;
    char* end = nullptr;
    long pid = std::strtol(name + prefix, &end, 10);
    if (end == name + prefix || *end != '-' || pid <= 0 || pid > INT_MAX)
        return 0;
    const char* counter = end + 1;
    if (counter == name + length - suffix)
        return 0;
    for (const char* c = counter; c < name + length - suffix; ++c)
        if (*c < '0' || *c > '9')
            return 0;
    return pid_t(pid);
}

// Removes, once per folder and process, the temporaries of programs that are gone:
// regular files of this user named .qpsave-PID-N.tmp whose PID runs nothing.
void RemoveStaleTemporaries(const std::string& folder)
{
    {
        std::lock_guard<std::mutex> lock(cleanedMutex);
        if (!cleanedFolders.insert(folder).second)
            return;
    }
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return;
    int folderFd = dirfd(listing);
    while (dirent* entry = readdir(listing)) {
        pid_t owner = TemporaryOwner(entry->d_name);
        if (owner == 0 || owner == getpid() || kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        struct stat info;
        if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == geteuid())
            unlinkat(folderFd, entry->d_name, 0);
    }
    closedir(listing);
}

Naming NamingOfThisProcess()
{
    Naming known = naming.load();
    if (known == Naming::Unknown) {
        known = access("/proc/self/fd", X_OK) == 0 ? Naming::ProcLink
                : geteuid() == 0                   ? Naming::EmptyPath
                                                   : Naming::None;
        naming.store(known);
    }
    return known;
}

bool Fail(std::string& problem)
{
    problem = std::strerror(errno);
    return false;
}

}  // namespace

void PrepareForFileWrites()
{
    IgnoreFileSizeSignal();
    std::call_once(prepared, InstallEndingHandlers);
}

void UseUnnamedTemporaries(bool use)
{
    unnamedWanted.store(use);
}

TemporaryFile::~TemporaryFile()
{
    Discard();
}

bool TemporaryFile::Create(const std::string& inFolder, std::string& problem)
{
    Discard();
    PrepareForFileWrites();
    folder = inFolder;
    RemoveStaleTemporaries(folder);
    if (unnamedWanted.load() && NamingOfThisProcess() != Naming::None) {
        fd = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0)
            return true;
        // File systems without unnamed files say so in one of these ways; any other
        // failure (no room, no permission) would stop a named file just the same.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOSYS)
            return Fail(problem);
    }
    // O_EXCL never writes through anyone else's file.
    return TakeHiddenName(
        [this](const std::string& candidate) {
            fd = open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            return fd >= 0;
        },
        problem);
}

bool TemporaryFile::TakeHiddenName(const std::function<bool(const std::string&)>& claim, std::string& problem)
{
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate =
            folder + namePrefix + std::to_string(getpid()) + "-" + std::to_string(attempt) + nameSuffix;
        // Listed before it exists, so no moment passes in which a signal would leave
        // it behind. A name of this process's PID that is taken is this process's
        // (another thread's) or a dead one's, which a dying program may remove.
        slot = Listed(candidate);
        if (claim(candidate)) {
            name = candidate;
            return true;
        }
        int error = errno;
        Unlisted(slot);
        errno = error;
        if (errno != EEXIST)
            return Fail(problem);
    }
    return Fail(problem);
}

// Links the open file, named or not, to `newName` as well. False with errno set.
bool TemporaryFile::LinkTo(const std::string& newName)
{
    if (!name.empty())
        return link(name.c_str(), newName.c_str()) == 0;
    if (NamingOfThisProcess() == Naming::ProcLink) {
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, newName.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    return linkat(fd, "", AT_FDCWD, newName.c_str(), AT_EMPTY_PATH) == 0;
}

// Gives an unnamed temporary a hidden name of its own, listed for the handlers.
bool TemporaryFile::Name(std::string& problem)
{
    if (!name.empty())
        return true;
    return TakeHiddenName([this](const std::string& candidate) { return LinkTo(candidate); }, problem);
}

bool TemporaryFile::Keep(const std::string& finalName, int& error, std::string& problem)
{
    error = 0;
    if (!LinkTo(finalName)) {
        error = errno;
        return Fail(problem);
    }
    // The file has its place now: only the temporary name (if any) goes.
    std::string closing;
    bool closed = Close(closing);
    if (!name.empty())
        unlink(name.c_str());
    Unlisted(slot);
    name.clear();
    if (!closed) {
        unlink(finalName.c_str());
        problem = closing;
        return false;
    }
    return true;
}

bool TemporaryFile::Close(std::string& problem)
{
    int closing = fd;
    fd = -1;
    return close(closing) == 0 || Fail(problem);
}

bool TemporaryFile::RenameOver(const std::string& target, std::string& problem)
{
    bool ok = Name(problem) && Close(problem);
    if (ok && std::rename(name.c_str(), target.c_str()) != 0)
        ok = Fail(problem);
    if (!ok) {
        Discard();
        return false;
    }
    Unlisted(slot);
    name.clear();
    return true;
}

void TemporaryFile::Discard()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    if (!name.empty())
        unlink(name.c_str());
    Unlisted(slot);
    name.clear();
}
