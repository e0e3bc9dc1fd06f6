// The effect file byte by byte both ways, its refusals and short-file tolerance,
// and the whole-or-nothing save.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "app/EffectFile.h"
#include "tests/app/TempFolder.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Appends little-endian 32-bit words given as floats or ints, independently of
// the writer's code.
template <typename T>
void Put(Bytes& b, std::initializer_list<T> values)
{
    for (T v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    }
}

Bytes DefaultRecord()
{
    Bytes b(reinterpret_cast<const unsigned char*>("QPARTICLESYSTEM\x00\x10"),
            reinterpret_cast<const unsigned char*>("QPARTICLESYSTEM\x00\x10") + 17);
    Put<float>(b, {0.2f, 1, 1, 1, 1, 1, 1, 1, 0, 0.02f});
    Put<int>(b, {1000, 100});
    return b;
}

// Settings whose every field differs from the defaults.
EmitterSettings Distinct()
{
    return EmitterSettings{{0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, 0.75f, 3.5f, -1, 2500, true,
                           {1.5f, -2.5f, 4.0f}, 33.0f};
}

Bytes Encode(const EmitterSettings& s)
{
    unsigned char out[EFFECT_FILE_CONE_SIZE];
    return Bytes(out, out + EncodeEffect(s, out));
}

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(EffectFile, WritesTheExactBytesAndReadsThemBack)
{
    EXPECT_EQ(DefaultRecord(), Encode(DefaultEmitterSettings()));

    EmitterSettings cone = DefaultEmitterSettings();
    cone.coneEnabled = true;
    Bytes expected = DefaultRecord();
    Put<float>(expected, {0, 0, -1, 90});
    EXPECT_EQ(expected, Encode(cone));

    // Every field at its offset, in file order (velocity first, size after the colours).
    expected.assign(expected.begin(), expected.begin() + 17);
    Put<float>(expected, {3.5f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.75f});
    Put<int>(expected, {-1, 2500});
    Put<float>(expected, {1.5f, -2.5f, 4.0f, 33.0f});
    Bytes bytes = Encode(Distinct());
    EXPECT_EQ(expected, bytes);

    EmitterSettings back = {};
    ASSERT_EQ(EFFECT_OK, DecodeEffect(bytes.data(), bytes.size(), back));
    EXPECT_EQ(bytes, Encode(back));
}

TEST(EffectFile, RefusesBadHeadersAndLeavesTheSettingsAlone)
{
    Bytes lower = DefaultRecord(), swapped = DefaultRecord(), cut = DefaultRecord();
    cut.resize(16);
    lower[0] = 'q';
    std::swap(swapped[15], swapped[16]);  // 4096 in the other byte order
    const struct {
        Bytes bytes;
        EffectFileResult result;
    } cases[] = {
        {Bytes(), EFFECT_SHORT},
        {cut, EFFECT_SHORT},
        {lower, EFFECT_BAD_MAGIC},
        {swapped, EFFECT_BAD_VERSION},
    };
    for (const auto& c : cases) {
        EmitterSettings s = Distinct();
        EXPECT_EQ(c.result, DecodeEffect(c.bytes.data(), c.bytes.size(), s)) << c.bytes.size() << " bytes";
        EXPECT_EQ(Encode(Distinct()), Encode(s)) << c.bytes.size() << " bytes";
    }
}

TEST(EffectFile, ShortFilesKeepEveryFieldTheEndCutsThroughWhole)
{
    Bytes full = DefaultRecord();
    Put<float>(full, {0, 1, 0, 45});
    full.insert(full.end(), {1, 2, 3});  // bytes past the record are ignored
    for (size_t length = 17; length <= full.size(); ++length) {
        EmitterSettings s = Distinct();
        ASSERT_EQ(EFFECT_OK, DecodeEffect(full.data(), length, s)) << length;
        EXPECT_EQ(length >= 21 ? 0.2f : 3.5f, s.velocity) << length;
        EXPECT_EQ(length >= 37 ? 1.0f : 0.1f, s.startColor.r) << length << ": a cut colour is not half taken";
        EXPECT_EQ(length >= 53 ? 0.0f : 0.8f, s.endColor.a) << length;
        EXPECT_EQ(length >= 57 ? 0.02f : 0.75f, s.size) << length;
        EXPECT_EQ(length >= 61 ? 1000 : -1, s.lifetime) << length;
        EXPECT_EQ(length >= 65 ? 100 : 2500, s.emitRate) << length;
        // Without a whole axis: the default cone, off. With it: on, the angle as far as present.
        EXPECT_EQ(length >= 77, s.coneEnabled) << length;
        EXPECT_EQ(length >= 77 ? 1.0f : 0.0f, s.coneDirection.y) << length;
        EXPECT_EQ(length >= 77 ? 0.0f : -1.0f, s.coneDirection.z) << length;
        EXPECT_EQ(length >= 81 ? 45.0f : length >= 77 ? 33.0f : 90.0f, s.coneAngle) << length;
    }
}

TEST(EffectFile, LoadRefusesWhatIsNotARegularFile)
{
    TempFolder dir;
    settings = Distinct();
    ASSERT_EQ(0, mkfifo(dir.Path("pipe").c_str(), 0600));
    for (const char* name : {"missing.QP", "", "pipe"})
        EXPECT_FALSE(LoadEffect(dir.Path(name).c_str())) << "'" << name << "' (a FIFO must not hang)";
    EXPECT_EQ(Encode(Distinct()), Encode(settings));
}

TEST(EffectFile, SaveReplacesWholeOrNotAtAll)
{
    TempFolder dir;
    std::string path = dir.Path("keep.QP");
    settings = Distinct();
    ASSERT_TRUE(SaveEffect(path.c_str()));
    settings.coneEnabled = false;
    ASSERT_TRUE(SaveEffect(path.c_str()));
    Bytes before = ReadAll(path);
    EXPECT_EQ(Encode(settings), before) << "the second save replaces the first, with no tail";

    // A write cut short, as on a full disk: the file-size limit stops it at 40 bytes.
    struct rlimit old, tight;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    tight = old;
    tight.rlim_cur = 40;
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &tight));
    settings = DefaultEmitterSettings();
    bool saved = SaveEffect(path.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(before, ReadAll(path));

    // A missing folder, and a folder in the target's place (the rename fails).
    EXPECT_FALSE(SaveEffect(dir.Path("no/such/x.QP").c_str()));
    ASSERT_EQ(0, mkdir(dir.Path("taken.QP").c_str(), 0700));
    EXPECT_FALSE(SaveEffect(dir.Path("taken.QP").c_str()));
    EXPECT_EQ((std::vector<std::string>{"keep.QP", "taken.QP"}), dir.List()) << "no temporary file is left";
}
