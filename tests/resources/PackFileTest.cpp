// The resource stream over archive entries and loose files, including damaged archives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "resources/QPackFile.h"
#include "tests/support/TestFiles.h"

namespace {

Bytes ReadAll(QPackFile& pack, int32_t chunk)
{
    Bytes all, buffer(static_cast<size_t>(chunk));
    for (uint32_t got; (got = pack.Read(buffer.data(), chunk)) > 0;)
        all.insert(all.end(), &buffer[0], &buffer[got]);
    return all;
}
}  // namespace

TEST(QPackFile, DirectoryLookupByExactName)
{
    WorkInScratchFolder here;
    std::string zeroInside("ab\0cd", 5), longest(255, 'n');
    WriteBytes("a.pak", MakeArchive({{"Font.QF", {1, 2, 3}},
                                     {"tex", {4, 5}},
                                     {"Font.QF", {9, 9, 9, 9}},
                                     {zeroInside, {7}},
                                     {longest, {8}},
                                     {"empty", {}}}));
    QPackFile pack("a.pak");
    // A repeated name yields its first record; stored names compare up to their first zero;
    // the range of `longest` ends exactly at the file's end.
    for (const auto& entry : {std::make_pair("Font.QF", Bytes{1, 2, 3}), std::make_pair("tex", Bytes{4, 5}),
                              std::make_pair("ab", Bytes{7}), std::make_pair(longest.c_str(), Bytes{8})}) {
        ASSERT_TRUE(pack.OpenEntry(entry.first)) << entry.first;
        EXPECT_EQ(entry.second, ReadAll(pack, 2)) << entry.first;
    }
    // Not found (case and length count), or found with length 0: either way no entry is open.
    for (const char* name : {"font.qf", "Font", "empty"}) {
        EXPECT_EQ(std::string(name) == "empty", pack.OpenEntry(name)) << name;
        uint8_t byte = 0;
        EXPECT_EQ(0u, pack.Read(&byte, 1)) << name;
        EXPECT_EQ(0u, pack.GetSize()) << name;
        EXPECT_EQ(0u, pack.Tell()) << name;
        EXPECT_FALSE(pack.AtEnd()) << name;
        EXPECT_FALSE(pack.Seek(0, FromStart)) << name;
    }
}

TEST(QPackFile, WindowAndSeeks)
{
    WorkInScratchFolder here;
    Bytes exact = Pattern(65536, 1), over = Pattern(65537, 2), big = Pattern(200000, 3), e = Pattern(8, 4);
    WriteBytes("a.pak", MakeArchive({{"exact", exact}, {"over", over}, {"big", big}, {"e", e}}));
    QPackFile pack("a.pak");
    for (const auto& entry : {std::make_pair("exact", &exact), std::make_pair("over", &over)}) {
        ASSERT_TRUE(pack.OpenEntry(entry.first));
        EXPECT_EQ(65536u, pack.GetWindowSize()) << entry.first;
        EXPECT_EQ(*entry.second, ReadAll(pack, 70000)) << entry.first << ": read across the window's end";
        EXPECT_TRUE(pack.AtEnd()) << entry.first;
    }
    ASSERT_TRUE(pack.OpenEntry("big"));
    Bytes piece(20);
    for (uint32_t start : {65530u, 10u, 131060u}) {  // across a window's end, back, and on again
        ASSERT_TRUE(pack.Seek(int32_t(start), FromStart));
        EXPECT_EQ(20u, pack.Read(piece.data(), 20)) << start;
        EXPECT_EQ(Bytes(&big[start], &big[start + 20]), piece) << start;
    }
    // In order; each move is followed by a one-byte read, so the next start is `to` + 1.
    // FromEnd 0 is the last byte; a target outside the entry is refused and moves nothing.
    ASSERT_TRUE(pack.OpenEntry("e"));
    struct Step {
        int32_t offset;
        QSeekOrigin origin;
        bool moves;
        uint32_t to;
    };
    const Step steps[] = {{0, FromEnd, true, 7},      {1, FromEnd, false, 8},      {8, FromStart, false, 8},
                          {-1, FromStart, false, 8},  {2, FromStart, true, 2},     {2, FromCurrent, true, 5},
                          {-6, FromCurrent, true, 0}, {-2, FromCurrent, false, 1}, {-8, FromEnd, false, 1},
                          {-7, FromEnd, true, 0}};
    for (const Step& s : steps) {
        SCOPED_TRACE(::testing::Message() << "offset " << s.offset << " origin " << s.origin);
        EXPECT_EQ(s.moves, pack.Seek(s.offset, s.origin));
        EXPECT_EQ(s.to, pack.Tell()) << "position";
        if (s.moves) {
            uint8_t byte = 0;
            EXPECT_EQ(1u, pack.Read(&byte, 1)) << "bytes read after the move";
            EXPECT_EQ(e[s.to], byte) << "byte read after the move";
        }
    }
}

TEST(QPackFile, LooseFallbackAndCountsOfZeroOrLess)
{
    WorkInScratchFolder here;
    // No archive, a missing one, or a file without the magic: the name is a loose file. In
    // either mode a count of 0 or less reads nothing (never a huge size).
    WriteBytes("Font.QF", {1, 2, 3, 4, 5});
    WriteBytes("notpack.bin", {'L', 'L', 'P', 'A', 'C', 'X', 0, 0, 0, 0, 0, 0, 0, 0});
    WriteBytes("short.pak", {'L', 'L', 'P'});
    WriteBytes("a.pak", MakeArchive({{"Font.QF", {1, 2, 3, 4, 5}}}));
    for (std::string what : {"", "missing.pak", "notpack.bin", "short.pak", "a.pak"}) {
        QPackFile pack(what.empty() ? nullptr : what.c_str());  // "": no archive at all
        EXPECT_FALSE(pack.OpenEntry("absent")) << what;
        ASSERT_TRUE(pack.OpenEntry("Font.QF")) << what;
        uint8_t byte = 0;
        for (int32_t count : {0, -1, INT32_MIN})
            EXPECT_EQ(0u, pack.Read(&byte, count)) << what << ", " << count;
        EXPECT_EQ((Bytes{1, 2, 3, 4, 5}), ReadAll(pack, 2)) << what;
        // FromEnd: the library's seek from the end for a loose file, the last byte + offset in an entry.
        ASSERT_TRUE(pack.Seek(-2, FromEnd)) << what;
        ASSERT_EQ(1u, pack.Read(&byte, 1)) << what;
        EXPECT_EQ(what == "a.pak" ? 3 : 4, byte) << what;
    }
    // A FIFO would block the load (and a folder is no resource): only regular files open.
    ASSERT_EQ(0, mkfifo("fifo", 0600));
    ASSERT_EQ(0, mkdir("folder", 0700));
    for (const char* name : {"fifo", "folder"}) {
        EXPECT_FALSE(QPackFile(nullptr).OpenEntry(name)) << name;
        EXPECT_TRUE(QPackFile(name).OpenEntry("Font.QF")) << name << " as archive: loose fallback";
    }
}

// Damaged archives: every lookup ends, with the name not found or with an entry whose
// bytes really are in the file. The one record of `good` has its offset at 16, length at 20.
TEST(QPackFile, TruncatedOrCorruptArchivesAreRefused)
{
    WorkInScratchFolder here;
    Bytes good = MakeArchive({{"e", {1, 2, 3, 4}}});
    const std::pair<const char*, Bytes> cases[] = {
        {"magic only", Bytes(good.begin(), good.begin() + 6)},
        {"count cut short", Bytes(good.begin(), good.begin() + 12)},
        {"count far beyond the directory", Patched(MakeArchive({{"x", {1}}}), 10, 0xFFFFFFFFu)},
        {"directory ends before a name", Bytes(good.begin(), good.begin() + 15)},
        {"directory ends inside the offset", Bytes(good.begin(), good.begin() + 18)},
        {"range runs past the end", Patched(good, 20, 5)},
        {"offset past the end", Patched(good, 16, 1000)},
        {"offset + length wraps 32 bits", Patched(good, 20, 0xFFFFFFF0u)},
        {"cut in the entry's data", Bytes(good.begin(), good.end() - 1)},
    };
    for (const auto& c : cases) {
        WriteBytes("bad.pak", c.second);
        QPackFile pack("bad.pak");
        EXPECT_FALSE(pack.OpenEntry("e")) << c.first;
        EXPECT_EQ(0u, pack.GetSize()) << c.first;
    }
}
