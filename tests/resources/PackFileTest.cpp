// The resource stream over archive entries and loose files, including damaged archives.
#include <gtest/gtest.h>

#include "resources/QPackFile.h"
#include "tests/resources/TestFiles.h"

namespace {
class PackFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};

Bytes ReadAll(QPackFile& pack, int32_t chunk)
{
    Bytes all;
    Bytes buffer(static_cast<size_t>(chunk));
    uint32_t got;
    while ((got = pack.Read(buffer.data(), chunk)) > 0) {
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
    }
    return all;
}
}  // namespace

TEST_F(PackFileTest, DirectoryLookupByExactName)
{
    std::string zeroInside("ab\0cd", 5);
    std::string longest(255, 'n');
    WriteFile("a.pak", MakeArchive({{"Font.QF", {1, 2, 3}}, {"tex", {4, 5}}, {"Font.QF", {9, 9, 9, 9}},
                                    {zeroInside, {7}}, {longest, {8}}, {"empty", {}}}));
    QPackFile pack("a.pak");
    ASSERT_TRUE(pack.OpenEntry("Font.QF"));
    EXPECT_EQ((Bytes{1, 2, 3}), ReadAll(pack, 16)) << "a repeated name yields the first record";
    ASSERT_TRUE(pack.OpenEntry("tex")) << "a second lookup on the same object";
    EXPECT_EQ((Bytes{4, 5}), ReadAll(pack, 1));
    ASSERT_TRUE(pack.OpenEntry("ab")) << "stored names compare up to their first zero byte";
    EXPECT_EQ((Bytes{7}), ReadAll(pack, 4));
    ASSERT_TRUE(pack.OpenEntry(longest.c_str()));
    EXPECT_EQ((Bytes{8}), ReadAll(pack, 4));

    // Not found, or found with length 0: either way no entry is open.
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

TEST_F(PackFileTest, WindowOfLargeEntries)
{
    Bytes exact = Pattern(65536, 1);
    Bytes over = Pattern(65537, 2);
    Bytes big = Pattern(200000, 3);
    WriteFile("a.pak", MakeArchive({{"exact", exact}, {"over", over}, {"big", big}}));
    QPackFile pack("a.pak");

    ASSERT_TRUE(pack.OpenEntry("exact"));
    EXPECT_EQ(65536u, pack.GetWindowSize());
    EXPECT_EQ(exact, ReadAll(pack, 65536));

    ASSERT_TRUE(pack.OpenEntry("over"));
    EXPECT_EQ(65536u, pack.GetWindowSize());
    Bytes all(65537);
    EXPECT_EQ(65537u, pack.Read(all.data(), 70000)) << "across the window's end, and no more than remains";
    EXPECT_EQ(over, all);
    EXPECT_TRUE(pack.AtEnd());
    EXPECT_EQ(0u, pack.Read(all.data(), 1)) << "nothing after the end";

    ASSERT_TRUE(pack.OpenEntry("big"));
    ASSERT_TRUE(pack.Seek(65530, FromStart));
    Bytes piece(20);
    EXPECT_EQ(20u, pack.Read(piece.data(), 20)) << "a read across the window's end after a seek";
    EXPECT_EQ(Bytes(big.begin() + 65530, big.begin() + 65550), piece);
    ASSERT_TRUE(pack.Seek(10, FromStart)) << "back into an earlier window";
    EXPECT_EQ(5u, pack.Read(piece.data(), 5));
    EXPECT_EQ(Bytes(big.begin() + 10, big.begin() + 15), Bytes(piece.begin(), piece.begin() + 5));
}

TEST_F(PackFileTest, SeekTargetsStayInsideTheEntry)
{
    Bytes data = {10, 11, 12, 13, 14, 15, 16, 17};
    WriteFile("a.pak", MakeArchive({{"e", data}}));
    QPackFile pack("a.pak");
    ASSERT_TRUE(pack.OpenEntry("e"));
    uint8_t byte = 0;

    ASSERT_TRUE(pack.Seek(0, FromEnd));
    EXPECT_EQ(7u, pack.Tell()) << "FromEnd 0 is the last byte";
    ASSERT_EQ(1u, pack.Read(&byte, 1));
    EXPECT_EQ(17, byte);
    EXPECT_TRUE(pack.AtEnd());

    EXPECT_FALSE(pack.Seek(1, FromEnd)) << "the entry's length itself is refused";
    EXPECT_FALSE(pack.Seek(8, FromStart));
    EXPECT_FALSE(pack.Seek(-1, FromStart));
    EXPECT_EQ(8u, pack.Tell()) << "a refused seek moves nothing";

    ASSERT_TRUE(pack.Seek(2, FromStart));
    ASSERT_TRUE(pack.Seek(3, FromCurrent));
    ASSERT_EQ(1u, pack.Read(&byte, 1));
    EXPECT_EQ(15, byte);
    ASSERT_TRUE(pack.Seek(-6, FromCurrent));
    EXPECT_EQ(0u, pack.Tell());
    EXPECT_FALSE(pack.Seek(-1, FromCurrent));
    EXPECT_FALSE(pack.Seek(-9, FromEnd));
    ASSERT_TRUE(pack.Seek(-7, FromEnd));
    EXPECT_EQ(0u, pack.Tell());
}

TEST_F(PackFileTest, CountsOfZeroOrLessReadNothing)
{
    WriteFile("a.pak", MakeArchive({{"e", {1, 2, 3}}}));
    WriteFile("loose", {1, 2, 3});
    uint8_t guard[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    for (const char* archive : {"a.pak", static_cast<const char*>(nullptr)}) {
        QPackFile pack(archive);
        ASSERT_TRUE(pack.OpenEntry(archive != nullptr ? "e" : "loose"));
        EXPECT_EQ(0u, pack.Read(guard, 0)) << (archive ? "archive" : "loose");
        EXPECT_EQ(0u, pack.Read(guard, -1)) << (archive ? "archive" : "loose");
        EXPECT_EQ(0u, pack.Read(guard, INT32_MIN)) << (archive ? "archive" : "loose");
        EXPECT_EQ(0xAA, guard[0]);
        EXPECT_EQ(0u, pack.Tell()) << "the position did not move";
    }
}

TEST_F(PackFileTest, LooseModeMapsOntoTheFile)
{
    // No archive, a missing one, or a file without the magic: the name is a loose file.
    WriteFile("Font.QF", {1, 2, 3, 4, 5});
    WriteFile("notpack.bin", {'L', 'L', 'P', 'A', 'C', 'X', 0, 0, 0, 0, 0, 0, 0, 0});
    WriteFile("short.pak", {'L', 'L', 'P'});
    for (const char* archive : {static_cast<const char*>(nullptr), "missing.pak", "notpack.bin", "short.pak"}) {
        QPackFile pack(archive);
        ASSERT_TRUE(pack.OpenEntry("Font.QF")) << (archive ? archive : "no archive");
        EXPECT_EQ((Bytes{1, 2, 3, 4, 5}), ReadAll(pack, 2));
    }
    QPackFile pack(nullptr);
    ASSERT_TRUE(pack.OpenEntry("Font.QF"));
    uint8_t byte = 0;
    ASSERT_TRUE(pack.Seek(-2, FromEnd)) << "FromEnd is the library's seek from the end";
    ASSERT_EQ(1u, pack.Read(&byte, 1));
    EXPECT_EQ(4, byte);
    ASSERT_TRUE(pack.Seek(1, FromStart));
    ASSERT_TRUE(pack.Seek(1, FromCurrent));
    EXPECT_FALSE(pack.AtEnd());
    EXPECT_EQ(2u, pack.Tell()) << "AtEnd puts back the byte it peeked";
    EXPECT_EQ(5u, pack.GetSize());
    EXPECT_EQ(2u, pack.Tell()) << "GetSize keeps the position";
    uint8_t rest[8];
    EXPECT_EQ(3u, pack.Read(rest, 8));
    EXPECT_TRUE(pack.AtEnd());

    QPackFile none(nullptr);
    EXPECT_FALSE(none.OpenEntry("absent"));
    EXPECT_EQ(0u, none.Read(&byte, 1));
    EXPECT_EQ(0u, none.GetSize());
    EXPECT_FALSE(none.Seek(0, FromStart));
    EXPECT_FALSE(none.AtEnd());
}

// Damaged archives: every lookup ends, with the name not found or with an entry whose
// bytes really are in the file.
TEST_F(PackFileTest, TruncatedOrCorruptArchivesAreRefused)
{
    struct Case {
        const char* what;
        Bytes archive;
    };
    Bytes data = {1, 2, 3, 4};
    Bytes good = MakeArchive({{"e", data}});
    std::vector<Case> cases = {
        {"header only", {'L', 'L', 'P', 'A', 'C', 'K'}},
        {"count cut short", {'L', 'L', 'P', 'A', 'C', 'K', 1, 0, 0, 0, 1, 0}},
        {"count far beyond the directory", MakeRawArchive(0xFFFFFFFFu, {{"x", 0, 0}}, {})},
        {"directory ends inside a name", MakeRawArchive(1, {}, {5, 'e'})},
        {"directory ends inside the offset", MakeRawArchive(1, {}, {1, 'e', 14, 0})},
        {"range runs past the end", MakeRawArchive(1, {{"e", 24, 5}}, data)},
        {"offset past the end", MakeRawArchive(1, {{"e", 1000, 1}}, data)},
        {"offset + length wraps 32 bits", MakeRawArchive(1, {{"e", 24, 0xFFFFFFF0u}}, data)},
        {"whole archive cut in its data", Bytes(good.begin(), good.end() - 1)},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        WriteFile("bad.pak", cases[i].archive);
        QPackFile pack("bad.pak");
        EXPECT_FALSE(pack.OpenEntry("e")) << cases[i].what;
        EXPECT_EQ(0u, pack.GetSize()) << cases[i].what;
    }
    WriteFile("edge.pak", MakeRawArchive(1, {{"e", 24, 4}}, {1, 2, 3, 4}));
    QPackFile pack("edge.pak");
    ASSERT_TRUE(pack.OpenEntry("e")) << "a range ending exactly at the file's end is whole";
    EXPECT_EQ((Bytes{1, 2, 3, 4}), ReadAll(pack, 3));
}
