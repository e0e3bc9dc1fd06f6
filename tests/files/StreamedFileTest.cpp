// A file replaced by pieces: the target stays as it was until the commit, links and
// hard links keep seeing one file, refused targets stay, and a dropped stream, a full
// file-size limit or a named temporary leave nothing behind.
#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/StreamedFile.h"
#include "files/TemporaryFile.h"
#include "tests/support/InChild.h"
#include "tests/support/ScratchFolder.h"

namespace {

const Bytes oldBytes = {'o', 'l', 'd'};

// Streams `pieces` of 1000 bytes each (piece k holds byte k) into `path`; "" when the
// commit succeeds, else the first problem. `beforeCommit` runs between the last
// piece and the commit.
std::string Stream(
    const std::string& path, int pieces, bool commit = true, const std::function<void()>& beforeCommit = [] {})
{
    StreamedFile file;
    std::string problem;
    if (!file.Begin(path.c_str(), problem))
        return problem;
    for (int k = 0; k < pieces; ++k) {
        const Bytes piece(1000, uint8_t(k));
        if (!file.Append(piece.data(), piece.size(), problem))
            return problem;
    }
    beforeCommit();
    return !commit || file.Commit(problem) ? "" : problem;
}

Bytes Streamed(int pieces)
{
    Bytes bytes;
    for (int k = 0; k < pieces; ++k)
        bytes.insert(bytes.end(), 1000, uint8_t(k));
    return bytes;
}

}  // namespace

TEST(StreamedFile, TheTargetChangesOnlyAtTheCommit)
{
    for (bool unnamed : {true, false}) {
        UseUnnamedTemporaries(unnamed);
        ScratchFolder dir;
        const std::string path = dir.Path("out.gif");
        WriteBytes(path, oldBytes);
        chmod(path.c_str(), 0640);
        EXPECT_EQ("", Stream(path, 300, true, [&] { EXPECT_EQ(oldBytes, ReadBytes(path)) << "before the commit"; }));
        EXPECT_EQ(Streamed(300), ReadBytes(path)) << (unnamed ? "unnamed" : "named");
        struct stat info = {};
        stat(path.c_str(), &info);
        EXPECT_EQ(0640u, info.st_mode & 07777) << "the target's permission bits";
        EXPECT_EQ("", Stream(path, 2, false));
        EXPECT_EQ(Streamed(300), ReadBytes(path)) << "after a stream dropped without a commit";
        EXPECT_EQ(1, dir.Count()) << "no temporary is left";
    }
    UseUnnamedTemporaries(true);
}

TEST(StreamedFile, LinksAndHardLinksKeepSeeingOneFile)
{
    ScratchFolder dir;
    const std::string file = dir.Path("file"), hard = dir.Path("hard"), soft = dir.Path("soft");
    WriteBytes(file, oldBytes);
    ASSERT_EQ(0, link(file.c_str(), hard.c_str()));
    ASSERT_EQ(0, symlink("file", soft.c_str()));
    EXPECT_EQ("", Stream(hard, 5));
    EXPECT_EQ(Streamed(5), ReadBytes(file)) << "the other name of a hard-linked file";
    EXPECT_EQ("", Stream(soft, 7));
    EXPECT_EQ(Streamed(7), ReadBytes(file)) << "the file a link points to";
    struct stat info = {};
    lstat(soft.c_str(), &info);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link, mode " << std::oct << info.st_mode;
    EXPECT_EQ(3, dir.Count());
}

TEST(StreamedFile, RefusedTargetsStayAsTheyWere)
{
    ScratchFolder dir;
    ASSERT_EQ(0, mkfifo(dir.Path("fifo").c_str(), 0600));
    EXPECT_EQ("not a regular file", Stream(dir.Path("fifo"), 1));
    ASSERT_EQ(0, mkdir(dir.Path("folder").c_str(), 0700));
    EXPECT_EQ("is a folder, not a regular file", Stream(dir.Path("folder"), 1));
    EXPECT_EQ("No such file or directory", Stream(dir.Path("none/out"), 1));
    EXPECT_EQ(2, dir.Count());
}

TEST(StreamedFile, AWritePastTheFileSizeLimitFailsAndLeavesTheOldFile)
{
    for (bool unnamed : {true, false}) {
        ScratchFolder dir;
        const std::string path = dir.Path("out");
        WriteBytes(path, oldBytes);
        const std::string problem = InChild([&] {
            std::signal(SIGXFSZ, SIG_DFL);
            UseUnnamedTemporaries(unnamed);
            rlimit tight = {4000, 4000};
            if (setrlimit(RLIMIT_FSIZE, &tight) != 0)
                return std::string("no limit");
            return Stream(path, 10);
        });
        EXPECT_EQ("File too large", problem) << (unnamed ? "unnamed" : "named");
        EXPECT_EQ(oldBytes, ReadBytes(path)) << (unnamed ? "unnamed" : "named");
        EXPECT_EQ(1, dir.Count()) << "no temporary is left";
    }
}
