// Replacing a file whole: what is refused and stays as it was, what a link or a hard
// link keeps, the permission bits, a write the file-size limit cuts short, and the
// backup kept of the file replaced.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/RegularFile.h"
#include "files/ReplaceFile.h"
#include "files/TemporaryFile.h"
#include "tests/support/ScratchFolder.h"

namespace {

const Bytes oldBytes = {'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's'};
const Bytes newBytes = {'n', 'e', 'w', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

std::string Replace(const std::string& path, const Bytes& bytes = newBytes)
{
    std::string problem;
    return ReplaceFileWhole(path.c_str(), bytes.data(), bytes.size(), problem) ? "" : problem;
}

struct stat Info(const std::string& path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info;
}

// Runs `body` in a forked child and hands back the text it returned ("crashed" when
// the child didn't exit normally): for limits and users that must not touch the test.
std::string InChild(const std::function<std::string()>& body)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        std::string text = body();
        ssize_t wrote = write(pipeEnds[1], text.data(), text.size());
        _exit(wrote == ssize_t(text.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = read(pipeEnds[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "crashed";
}

}  // namespace

TEST(ReplaceFileWhole, WritesANewFileAndReplacesAnOldOneLeavingNoTemporaryFile)
{
    ScratchFolder dir;
    mode_t mask = umask(027);
    EXPECT_EQ("", Replace(dir.Path("new")));
    umask(mask);
    EXPECT_EQ(newBytes, ReadBytes(dir.Path("new")));
    EXPECT_EQ(0640u, Info(dir.Path("new")).st_mode & 07777) << "0666 less the umask 027";
    WriteBytes(dir.Path("old"), Bytes(5000, 'x'));
    EXPECT_EQ("", Replace(dir.Path("old")));
    EXPECT_EQ(newBytes, ReadBytes(dir.Path("old"))) << "no tail of the longer file";
    const std::string longest = dir.Path(std::string(255, 'n'));  // the longest name a folder holds
    EXPECT_EQ("", Replace(longest));
    EXPECT_EQ(newBytes, ReadBytes(longest));
    EXPECT_EQ(3, dir.Count());
}

TEST(ReplaceFileWhole, WhatIsNotARegularFileIsRefusedAndStays)
{
    ScratchFolder dir;
    ASSERT_EQ(0, mkfifo(dir.Path("pipe").c_str(), 0600));
    ASSERT_EQ(0, mkdir(dir.Path("folder").c_str(), 0700));
    ASSERT_EQ(0, symlink("pipe", dir.Path("to-pipe").c_str()));
    ASSERT_EQ(0, symlink("to-loop", dir.Path("to-loop").c_str()));
    const struct {
        std::string path;
        std::string problem;
        mode_t type;  // of the file the path names, which must stay
    } cases[] = {
        {dir.Path("pipe"), "not a regular file", S_IFIFO},
        {dir.Path("to-pipe"), "not a regular file", S_IFLNK},
        {dir.Path("folder"), "is a folder, not a regular file", S_IFDIR},
        {dir.Path("to-loop"), "Too many levels of symbolic links", S_IFLNK},
        {dir.Path("no/such/file"), "No such file or directory", 0},
        {"/dev/null", "not a regular file", S_IFCHR},  // as root a rename would replace the device
    };
    struct stat null = Info("/dev/null");
    for (const auto& c : cases) {
        EXPECT_EQ(c.problem, Replace(c.path)) << c.path;
        EXPECT_EQ(c.type, Info(c.path).st_mode & S_IFMT) << c.path;
    }
    EXPECT_EQ(S_IFIFO, Info(dir.Path("pipe")).st_mode & S_IFMT) << "the pipe behind the link";
    EXPECT_EQ(null.st_ino, Info("/dev/null").st_ino) << "the same /dev/null";
    EXPECT_EQ(null.st_rdev, Info("/dev/null").st_rdev) << "the same device";
    EXPECT_EQ(4, dir.Count()) << "pipe, folder and the two links: nothing was made";
}

TEST(ReplaceFileWhole, AFileTheUserMayNotWriteIsRefusedThoughTheFolderIsTheirs)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root (the test command runs as root)";
    passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nullptr, nobody);
    ScratchFolder dir;
    ASSERT_EQ(0, chown(dir.root.c_str(), nobody->pw_uid, nobody->pw_gid));
    const struct {
        const char* name;
        mode_t mode;
        std::string problem;  // as the user sees it; "" when replaced
    } cases[] = {
        {"read-only", 0444, "Permission denied"}, {"writable", 0644, ""},  // the user may write here at all
    };
    for (const auto& c : cases) {
        std::string path = dir.Path(c.name);
        WriteBytes(path, oldBytes);
        ASSERT_EQ(0, chown(path.c_str(), nobody->pw_uid, nobody->pw_gid));
        ASSERT_EQ(0, chmod(path.c_str(), c.mode));
        std::string problem = InChild([&] {
            if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                return std::string("can't become nobody");
            return Replace(path);
        });
        EXPECT_EQ(c.problem, problem) << c.name;
        EXPECT_EQ(c.problem.empty() ? newBytes : oldBytes, ReadBytes(path)) << c.name;
        EXPECT_EQ(c.mode, Info(path).st_mode & 07777) << c.name;
    }
    EXPECT_EQ(2, dir.Count()) << "no temporary file is left";
}

TEST(ReplaceFileWhole, ALinkStaysAndTheFileItNamesGetsTheBytes)
{
    ScratchFolder dir;
    ASSERT_EQ(0, mkdir(dir.Path("sub").c_str(), 0700));
    const struct {
        std::string link, target, file;  // the link, what it holds, the file it names
    } cases[] = {
        {dir.Path("absolute"), dir.Path("a.bin"), dir.Path("a.bin")},
        {dir.Path("sub/relative"), "../r.bin", dir.Path("r.bin")},  // against the link's folder
        {dir.Path("chain"), "sub/relative", dir.Path("r.bin")},
        {dir.Path("dangling"), "sub/made.bin", dir.Path("sub/made.bin")},
    };
    WriteBytes(dir.Path("a.bin"), oldBytes);
    WriteBytes(dir.Path("r.bin"), oldBytes);
    for (const auto& c : cases) {
        ASSERT_EQ(0, symlink(c.target.c_str(), c.link.c_str())) << c.link;
        EXPECT_EQ("", Replace(c.link)) << c.link;
        EXPECT_EQ(S_IFLNK, Info(c.link).st_mode & S_IFMT) << c.link;
        EXPECT_EQ(c.target, std::filesystem::read_symlink(c.link).string()) << c.link;
        EXPECT_EQ(newBytes, ReadBytes(c.file)) << c.link;
    }
    EXPECT_EQ(6, dir.Count()) << "sub, a.bin, r.bin and three links: no temporary file";
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir.Path("sub")), {})) << "a link and made.bin";
}

TEST(ReplaceFileWhole, AHardLinkedFileIsWrittenInPlaceForAllItsNames)
{
    ScratchFolder dir;
    const Bytes longer(300, 'L');
    const Bytes* contents[] = {&longer, &newBytes};  // growing, then shrinking
    WriteBytes(dir.Path("one"), oldBytes);
    ASSERT_EQ(0, link(dir.Path("one").c_str(), dir.Path("two").c_str()));
    ino_t inode = Info(dir.Path("one")).st_ino;
    for (const Bytes* bytes : contents) {
        EXPECT_EQ("", Replace(dir.Path("one"), *bytes)) << bytes->size() << " bytes";
        EXPECT_EQ(*bytes, ReadBytes(dir.Path("one"))) << bytes->size() << " bytes";
        EXPECT_EQ(*bytes, ReadBytes(dir.Path("two"))) << bytes->size() << " bytes";
        EXPECT_EQ(inode, Info(dir.Path("two")).st_ino) << bytes->size() << " bytes";
        EXPECT_EQ(2u, Info(dir.Path("one")).st_nlink) << bytes->size() << " bytes";
    }
    EXPECT_EQ(2, dir.Count());
}

TEST(ReplaceFileWhole, PermissionBitsAndOwnerAreKept)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root (the test command runs as root)";
    passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nullptr, nobody);
    ScratchFolder dir;
    const mode_t modes[] = {0640, 0600, 0755, 0604};
    for (mode_t mode : modes) {
        std::string path = dir.Path("file" + std::to_string(mode));
        WriteBytes(path, oldBytes);
        ASSERT_EQ(0, chmod(path.c_str(), mode));
        ASSERT_EQ(0, chown(path.c_str(), nobody->pw_uid, nobody->pw_gid));
        EXPECT_EQ("", Replace(path)) << std::oct << mode;
        EXPECT_EQ(mode, Info(path).st_mode & 07777) << std::oct << mode;
        EXPECT_EQ(nobody->pw_uid, Info(path).st_uid) << std::oct << mode;
    }
}

TEST(ReplaceFileWhole, AWriteOverTheFileSizeLimitFailsLeavingTheTargetWholeAndTheProgramRunning)
{
    ScratchFolder dir;
    WriteBytes(dir.Path("single"), oldBytes);
    WriteBytes(dir.Path("linked"), oldBytes);
    ASSERT_EQ(0, link(dir.Path("linked").c_str(), dir.Path("other").c_str()));
    const Bytes big(100, 'b');
    for (bool unnamed : {true, false}) {
        for (const char* name : {"single", "linked", "new"}) {
            // SIGXFSZ as the shell leaves it: the program would die of it unless the
            // file library ignores it.
            std::string problem = InChild([&] {
                std::signal(SIGXFSZ, SIG_DFL);
                UseUnnamedTemporaries(unnamed);
                rlimit tight = {40, 40};
                if (setrlimit(RLIMIT_FSIZE, &tight) != 0)
                    return std::string("no limit");
                return Replace(dir.Path(name), big);
            });
            EXPECT_EQ("File too large", problem) << name << (unnamed ? " unnamed" : " named");
            EXPECT_EQ(std::string(name) == "new" ? Bytes() : oldBytes, ReadBytes(dir.Path(name))) << name;
        }
    }
    EXPECT_EQ(oldBytes, ReadBytes(dir.Path("other")));
    EXPECT_EQ(3, dir.Count()) << "no temporary file is left";
}

TEST(ReplaceFileKeepingOld, TheOldFileGetsTheFirstFreeBackupNameAsASecondLink)
{
    ScratchFolder dir;
    const std::string path = dir.Path("e.QP");
    std::string kept, problem;
    ASSERT_TRUE(ReplaceFileKeepingOld(path.c_str(), oldBytes.data(), oldBytes.size(), kept, problem)) << problem;
    EXPECT_EQ("", kept) << "nothing to keep";
    ASSERT_EQ(0, mkdir(dir.Path("e.QP.bak").c_str(), 0700));  // the user's own, never replaced
    const std::string firstFree = dir.Path("e.QP.bak.1");
    EXPECT_EQ(firstFree, FreeBackupName(path.c_str()));
    ino_t oldInode = Info(path).st_ino;
    ASSERT_TRUE(ReplaceFileKeepingOld(path.c_str(), newBytes.data(), newBytes.size(), kept, problem)) << problem;
    EXPECT_EQ(firstFree, kept);
    EXPECT_EQ(oldInode, Info(firstFree).st_ino) << "a link, not a copy";
    EXPECT_EQ(oldBytes, ReadBytes(firstFree));
    EXPECT_EQ(newBytes, ReadBytes(path));
    EXPECT_EQ(1u, Info(path).st_nlink) << "the new file stands alone";
    ASSERT_TRUE(ReplaceFileKeepingOld(path.c_str(), oldBytes.data(), oldBytes.size(), kept, problem)) << problem;
    EXPECT_EQ(dir.Path("e.QP.bak.2"), kept);
    EXPECT_EQ(newBytes, ReadBytes(kept));
    // Refused targets make no backup.
    ASSERT_EQ(0, mkfifo(dir.Path("pipe").c_str(), 0600));
    EXPECT_FALSE(ReplaceFileKeepingOld(dir.Path("pipe").c_str(), newBytes.data(), newBytes.size(), kept, problem));
    EXPECT_EQ("not a regular file", problem);
    EXPECT_EQ(5, dir.Count()) << "e.QP, three backups and the pipe";
}

TEST(ReplaceFileKeepingOld, AHardLinkedFileIsCopiedWithItsHolesAndWrittenInPlace)
{
    ScratchFolder dir;
    const std::string path = dir.Path("sparse"), other = dir.Path("other");
    const off_t size = off_t(1) << 30, dataAt = size / 2;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_LE(0, fd);
    ASSERT_EQ(ssize_t(oldBytes.size()), pwrite(fd, oldBytes.data(), oldBytes.size(), dataAt));
    ASSERT_EQ(0, ftruncate(fd, size));
    close(fd);
    ASSERT_EQ(0, link(path.c_str(), other.c_str()));
    std::string kept, problem;
    ASSERT_TRUE(ReplaceFileKeepingOld(path.c_str(), newBytes.data(), newBytes.size(), kept, problem)) << problem;
    EXPECT_EQ(path + ".bak", kept);
    EXPECT_EQ(newBytes, ReadBytes(other)) << "both names see the new bytes";
    struct stat backup = Info(kept);
    EXPECT_EQ(size, backup.st_size);
    EXPECT_GT(blkcnt_t(1024), backup.st_blocks) << "holes stay holes: 512-byte blocks in use";
    Bytes middle(oldBytes.size());
    fd = open(kept.c_str(), O_RDONLY);
    ASSERT_EQ(ssize_t(middle.size()), pread(fd, middle.data(), middle.size(), dataAt));
    close(fd);
    EXPECT_EQ(oldBytes, middle);
}

TEST(ReplaceFileKeepingOld, AFileOnAnotherFileSystemIsCopied)
{
    ScratchFolder dir;
    const std::string elsewhere = "/dev/shm/qptest-keep-" + std::to_string(getpid());
    struct stat shm, here;
    if (stat("/dev/shm", &shm) != 0 || stat(dir.root.c_str(), &here) != 0 || shm.st_dev == here.st_dev)
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    WriteBytes(elsewhere, oldBytes);
    const std::string link = dir.Path("link");
    ASSERT_EQ(0, symlink(elsewhere.c_str(), link.c_str()));
    std::string kept, problem;
    EXPECT_TRUE(ReplaceFileKeepingOld(link.c_str(), newBytes.data(), newBytes.size(), kept, problem)) << problem;
    EXPECT_EQ(link + ".bak", kept);
    EXPECT_EQ(oldBytes, ReadBytes(kept)) << "links can't cross file systems: a copy";
    EXPECT_EQ(newBytes, ReadBytes(elsewhere));
    EXPECT_EQ(S_IFLNK, Info(link).st_mode & S_IFMT);
    unlink(elsewhere.c_str());
}

TEST(SameFile, OneFileUnderAnyNameOnly)
{
    ScratchFolder dir;
    WriteBytes(dir.Path("a"), oldBytes);
    WriteBytes(dir.Path("b"), oldBytes);
    ASSERT_EQ(0, link(dir.Path("a").c_str(), dir.Path("hard").c_str()));
    ASSERT_EQ(0, symlink("a", dir.Path("soft").c_str()));
    const struct {
        std::string other;
        bool same;
    } cases[] = {{dir.Path("a"), true},   {dir.Path("hard"), true}, {dir.Path("soft"), true},
                 {dir.Path("./a"), true}, {dir.Path("b"), false},   {dir.Path("missing"), false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.same, SameFile(dir.Path("a").c_str(), c.other.c_str())) << c.other;
}
