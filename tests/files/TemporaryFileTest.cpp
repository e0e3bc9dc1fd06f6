// Temporary files never outlive their program: a signal that ends it during a write
// takes the temporary with it, one left by a program killed outright goes at the next
// write into its folder, and an unnamed temporary never shows in the folder at all.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include "files/ReplaceFile.h"
#include "files/TemporaryFile.h"
#include "tests/support/ScratchFolder.h"

namespace {

const Bytes large(32 << 20, 'x');  // a write that takes a while

// Starts a child that replaces `path` with large writes until it is stopped.
pid_t StartWriter(const std::string& path, bool unnamed)
{
    pid_t pid = fork();
    if (pid == 0) {
        UseUnnamedTemporaries(unnamed);
        for (;;) {
            std::string problem;
            ReplaceFileWhole(path.c_str(), large.data(), large.size(), problem);
        }
    }
    return pid;
}

bool TemporaryShows(const ScratchFolder& dir)
{
    for (const auto& entry : std::filesystem::directory_iterator(dir.root))
        if (entry.path().filename().string().rfind(".qpsave-", 0) == 0)
            return true;
    return false;
}

bool WaitForTemporary(const ScratchFolder& dir)
{
    for (int i = 0; i < 20000; ++i, usleep(1000))
        if (TemporaryShows(dir))
            return true;
    return false;
}

int DeathSignal(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

}  // namespace

TEST(TemporaryFile, ASignalThatEndsTheProgramMidWriteTakesTheTemporaryWithIt)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ScratchFolder dir;
        pid_t writer = StartWriter(dir.Path("out"), false);
        ASSERT_TRUE(WaitForTemporary(dir)) << "signal " << signal;
        kill(writer, signal);
        EXPECT_EQ(signal, DeathSignal(writer)) << "the program still ends by the signal";
        EXPECT_FALSE(TemporaryShows(dir)) << "signal " << signal;
    }
}

TEST(TemporaryFile, OneLeftByAKilledProgramGoesAtTheNextWriteIntoItsFolder)
{
    ScratchFolder dir;
    pid_t writer = StartWriter(dir.Path("out"), false);
    ASSERT_TRUE(WaitForTemporary(dir));
    kill(writer, SIGKILL);
    EXPECT_EQ(SIGKILL, DeathSignal(writer));
    ASSERT_TRUE(TemporaryShows(dir)) << "nothing runs on SIGKILL";
    // Look-alikes stay: a living program's, and names not of the form.
    const std::string living = ".qpsave-1-0.tmp", other = ".qpsave-x-0.tmp";
    WriteBytes(dir.Path(living), Bytes{1});
    WriteBytes(dir.Path(other), Bytes{1});
    std::string problem;
    const Bytes small = {'n', 'e', 'w'};
    ASSERT_TRUE(ReplaceFileWhole(dir.Path("next").c_str(), small.data(), small.size(), problem)) << problem;
    EXPECT_EQ(small, ReadBytes(dir.Path("next")));
    long expected = 4;  // out (if a write finished), next and the two look-alikes
    if (!std::filesystem::exists(dir.Path("out")))
        expected = 3;
    EXPECT_EQ(expected, dir.Count()) << "the killed program's temporary is gone";
    EXPECT_TRUE(std::filesystem::exists(dir.Path(living))) << living;
    EXPECT_TRUE(std::filesystem::exists(dir.Path(other))) << other;
}

TEST(TemporaryFile, AnUnnamedTemporaryNeverShowsAndLeavesNothingWhenKilled)
{
    ScratchFolder dir;
    pid_t writer = StartWriter(dir.Path("out"), true);
    int shown = 0;
    for (int i = 0; i < 300; ++i, usleep(1000))
        shown += TemporaryShows(dir);
    kill(writer, SIGKILL);
    EXPECT_EQ(SIGKILL, DeathSignal(writer));
    // Named only between its last byte and its rename: a few microseconds of each write.
    EXPECT_GE(2, shown) << "polls of 300 that saw a temporary";
    EXPECT_FALSE(TemporaryShows(dir)) << "killed while writing an unnamed file";
}
