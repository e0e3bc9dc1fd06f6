// The effect file byte by byte both ways, its refusals, short files, what Load
// won't open, and the whole-or-nothing save (also through symbolic links).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/effect/EffectRecord.h"

namespace {

// Appends little-endian 32-bit words, independently of the writer's code.
template <typename T> Bytes& Put(Bytes& b, std::initializer_list<T> values)
{
    for (T v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back(static_cast<unsigned char>(bits >> shift));
    }
    return b;
}

Bytes DefaultRecord()
{
    const char header[] = "QPARTICLESYSTEM\x00\x10";
    Bytes b(header, header + 17);
    Put<float>(b, {0.2f, 1, 1, 1, 1, 1, 1, 1, 0, 0.02f});
    return Put<int>(b, {1000, 100});
}

// Every field differs from the defaults.
const EmitterSettings distinct = {
    {0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, 0.75f, 3.5f, -1, 2500, true, {1.5f, -2.5f, 4.0f}, 33.0f};

}  // namespace

TEST(EffectFile, WritesEveryFieldAtItsPlace)
{
    EXPECT_EQ(DefaultRecord(), Record(DefaultEmitterSettings()));
    EmitterSettings cone = DefaultEmitterSettings();
    cone.coneEnabled = true;
    Bytes expected = DefaultRecord();
    EXPECT_EQ(Put<float>(expected, {0, 0, -1, 90}), Record(cone));

    // Every field at its offset, in file order (velocity first, size after the colours).
    expected.resize(17);
    Put<float>(expected, {3.5f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.75f});
    Put<int>(expected, {-1, 2500});
    EXPECT_EQ(Put<float>(expected, {1.5f, -2.5f, 4.0f, 33.0f}), Record(distinct));
}

TEST(EffectFile, ReadsEveryWholeFieldEvenOfAShortFileAndRefusesBadHeaders)
{
    Bytes full = DefaultRecord();
    Put<float>(full, {0, 1, 0, 45});
    full.insert(full.end(), {1, 2, 3});  // bytes past the record are ignored
    Bytes lower = full, swapped = full;
    lower[0] = 'q';
    std::swap(swapped[15], swapped[16]);  // 4096 in the other byte order
    for (const auto& [bytes, result] : {std::pair(lower, EFFECT_BAD_MAGIC), std::pair(swapped, EFFECT_BAD_VERSION)}) {
        EmitterSettings s = distinct;
        EXPECT_EQ(result, DecodeEffect(bytes.data(), bytes.size(), s));
        EXPECT_EQ(Record(distinct), Record(s)) << "a refused file changes nothing";
    }
    // A field the end cuts through, and all after it, keep their values; without a
    // whole cone axis the cone is the default one, off.
    const size_t ends[] = {0, 17, 21, 37, 53, 57, 61, 65, 77, 81};  // where each whole field ends
    for (size_t length = 0; length <= full.size(); ++length) {
        EmitterSettings s = distinct;
        ASSERT_EQ(length < 17 ? EFFECT_SHORT : EFFECT_OK, DecodeEffect(full.data(), length, s)) << length;
        Bytes expected = Record(distinct);
        size_t whole = *std::prev(std::upper_bound(std::begin(ends), std::end(ends), length));
        std::copy(full.begin(), full.begin() + whole, expected.begin());
        expected.resize(whole == 0 || whole >= 77 ? 81 : 65);
        EXPECT_EQ(expected, Record(s)) << length << " bytes";
        if (whole != 0 && whole < 77) {
            EXPECT_EQ(-1.0f, s.coneDirection.z) << length << " bytes: the default cone axis";
            EXPECT_EQ(90.0f, s.coneAngle) << length << " bytes: the default cone angle";
        }
    }
}

TEST(EffectFile, LoadTakesOnlyRegularFilesAndSaveReplacesWholeOrNotAtAllThroughLinks)
{
    ScratchFolder dir;
    EmitterSettings settings = distinct;
    auto load = [&settings](const char* name) { return ReadEffectFile(name, settings) == EFFECT_OK; };
    auto save = [&settings](const char* name) { return WriteEffectFile(name, settings); };
    ASSERT_EQ(0, mkfifo(dir.Path("pipe").c_str(), 0600));
    for (const char* name : {"missing.QP", "", "pipe"})
        EXPECT_FALSE(load(dir.Path(name).c_str())) << "'" << name << "' (a FIFO must not hang)";
    EXPECT_EQ(Record(distinct), Record(settings));

    std::string path = dir.Path("keep.QP");
    ASSERT_TRUE(save(path.c_str()));
    settings.coneEnabled = false;
    ASSERT_TRUE(save(path.c_str()));
    Bytes before = ReadBytes(path);
    EXPECT_EQ(Record(settings), before) << "the second save replaces the first, with no tail";

    // A write cut short, as on a full disk: the file-size limit stops it at 40 bytes.
    rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    rlimit tight = {40, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &tight));
    settings = DefaultEmitterSettings();
    bool saved = save(path.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(before, ReadBytes(path));

    // A missing folder, a folder in the target's place (the rename fails), a link loop.
    EXPECT_FALSE(save(dir.Path("no/such/x.QP").c_str()));
    ASSERT_EQ(0, mkdir(dir.Path("taken.QP").c_str(), 0700));
    EXPECT_FALSE(save(dir.Path("taken.QP").c_str()));
    ASSERT_EQ(0, symlink("loop.QP", dir.Path("loop.QP").c_str()));
    EXPECT_FALSE(save(dir.Path("loop.QP").c_str()));

    // Through a link, relative to its folder, the file it names is replaced (or
    // made, for a dangling one) and the link stays.
    ASSERT_EQ(0, symlink("keep.QP", dir.Path("link.QP").c_str()));
    ASSERT_EQ(0, symlink("made.QP", dir.Path("dangling.QP").c_str()));
    for (const char* link : {"link.QP", "dangling.QP"})
        ASSERT_TRUE(save(dir.Path(link).c_str())) << link;
    struct stat info;
    ASSERT_EQ(0, lstat(dir.Path("link.QP").c_str(), &info));
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(Record(settings), ReadBytes(path));
    EXPECT_EQ(Record(settings), ReadBytes(dir.Path("made.QP")));
    EXPECT_EQ(7, dir.Count()) << "pipe, keep, taken, loop, link, dangling and made: no temporary file is left";
}
