// Opening for reading takes regular files only and never blocks on a FIFO.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "files/RegularFile.h"
#include "tests/support/ScratchFolder.h"

TEST(RegularFile, EverythingButARegularFileIsRefusedAtOnce)
{
    ScratchFolder dir;
    ASSERT_EQ(0, mkfifo(dir.Path("pipe").c_str(), 0600));
    ASSERT_EQ(0, mkdir(dir.Path("folder").c_str(), 0700));
    const std::pair<std::string, std::string> cases[] = {
        {dir.Path("missing"), "No such file or directory"},
        {dir.Path("pipe"), "not a regular file"},  // would wait for a writer if opened blocking
        {dir.Path("folder"), "is a folder, not a regular file"},
        {"/dev/null", "not a regular file"},
        {"/dev/zero", "not a regular file"},  // would feed endless bytes
    };
    for (const auto& c : cases) {
        Bytes bytes = {1, 2, 3};
        std::string problem;
        uint64_t size = 7;
        EXPECT_FALSE(ReadRegularFile(c.first.c_str(), bytes, problem, SIZE_MAX, &size)) << c.first;
        EXPECT_EQ(c.second, problem) << c.first;
        EXPECT_EQ(0u, bytes.size()) << c.first;
        EXPECT_EQ(0u, size) << c.first;
        std::string streamProblem;
        FILE* file = OpenRegularFile(c.first.c_str(), &streamProblem);
        EXPECT_EQ(nullptr, file) << c.first;
        EXPECT_EQ(c.second, streamProblem) << c.first;
        if (file)
            fclose(file);
        EXPECT_EQ(-1, OpenRegularFileFd(c.first.c_str())) << c.first;
    }
}

TEST(RegularFile, ReadsAWholeFileOrItsStart)
{
    ScratchFolder dir;
    Bytes content(70000);  // more than one read's chunk
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 7 + i / 256);
    WriteBytes(dir.Path("data"), content);
    const size_t limits[] = {SIZE_MAX, 70000, 65537, 17, 0};
    for (size_t limit : limits) {
        Bytes bytes;
        std::string problem;
        uint64_t size = 0;
        ASSERT_TRUE(ReadRegularFile(dir.Path("data").c_str(), bytes, problem, limit, &size)) << problem;
        size_t expected = limit < content.size() ? limit : content.size();
        EXPECT_EQ(Bytes(content.begin(), content.begin() + long(expected)), bytes) << "limit " << limit;
        EXPECT_EQ(70000u, size) << "limit " << limit;
    }
    // A stream from the open is blocking again and reads from the start.
    FILE* file = OpenRegularFile(dir.Path("data").c_str());
    ASSERT_NE(nullptr, file);
    unsigned char head[3] = {};
    EXPECT_EQ(3u, fread(head, 1, 3, file));
    EXPECT_EQ(content[2], head[2]);
    fclose(file);
}

TEST(RegularFile, AStreamTheCallerOpenedIsReadToItsEndWhateverItIs)
{
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    const Bytes sent = {'p', 'i', 'p', 'e', 0, 1};
    ASSERT_EQ(ssize_t(sent.size()), write(ends[1], sent.data(), sent.size()));
    close(ends[1]);
    Bytes bytes = {9};
    std::string problem;
    EXPECT_TRUE(ReadDescriptor(ends[0], bytes, problem)) << problem;
    EXPECT_EQ(sent, bytes);
    close(ends[0]);
    EXPECT_FALSE(ReadDescriptor(ends[0], bytes, problem)) << "a closed descriptor";
    EXPECT_EQ("read failed: Bad file descriptor", problem);
    EXPECT_EQ(0u, bytes.size());
}
