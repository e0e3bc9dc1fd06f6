// The effect file byte by byte both ways, its refusals, short files, save and load
// through the file library, and the reasons that come back when they fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "effect/EffectFields.h"
#include "tests/support/EffectRecord.h"

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

unsigned TakenBits(std::initializer_list<std::string> names)
{
    unsigned bits = 0;
    for (size_t i = 0; i < EFFECT_FIELD_COUNT; ++i)
        for (const std::string& name : names)
            bits |= name == effectFields[i].name ? EffectFieldBit(i) : 0;
    return bits;
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

// Opening and replacing files is the file library's (its tests cover FIFOs, links
// and failed writes); here the record goes through it and the reasons come back.
TEST(EffectFile, SaveReplacesTheRecordAndLoadReadsItBack)
{
    ScratchFolder dir;
    const std::string path = dir.Path("keep.QP");
    std::string problem;
    ASSERT_TRUE(WriteEffectFile(path.c_str(), distinct, problem)) << problem;
    EmitterSettings noCone = distinct;
    noCone.coneEnabled = false;
    ASSERT_TRUE(WriteEffectFile(path.c_str(), noCone));
    EXPECT_EQ(Record(noCone), ReadBytes(path)) << "the second save replaces the first, with no tail";

    EmitterSettings loaded = DefaultEmitterSettings();
    size_t size = 0;
    EXPECT_EQ(EFFECT_OK, ReadEffectFile(path.c_str(), loaded, &size));
    EXPECT_EQ(65u, size);
    EXPECT_EQ(Record(noCone), Record(loaded));
}

TEST(EffectFile, FailuresKeepTheirReason)
{
    ScratchFolder dir;
    std::string problem;
    EXPECT_FALSE(WriteEffectFile(dir.Path("no/such/x.QP").c_str(), distinct, problem));
    EXPECT_EQ("No such file or directory", problem);
    EXPECT_EQ(0, dir.Count()) << "nothing is left behind";

    EmitterSettings s = distinct;
    EffectFileRead read;
    EXPECT_EQ(EFFECT_UNREADABLE, ReadEffectFile(dir.Path("none.QP").c_str(), s, read));
    EXPECT_EQ(EFFECT_UNREADABLE, read.result);
    EXPECT_EQ("can't be read: No such file or directory", read.problem);
    EXPECT_EQ(0u, read.fileSize);
    EXPECT_EQ(Record(distinct), Record(s)) << "a refused file changes nothing";

    const Bytes full = Record(distinct);
    WriteBytes(dir.Path("short.QP"), Bytes(full.begin(), full.begin() + 40));
    EXPECT_EQ(EFFECT_OK, ReadEffectFile(dir.Path("short.QP").c_str(), s, read));
    EXPECT_EQ("", read.problem);
    EXPECT_EQ(40u, read.fileSize);
    // The cone switch is taken too: off, as 40 bytes hold no cone axis.
    EXPECT_EQ(TakenBits({"velocity", "startColor", "cone"}), read.fieldsTaken);
}

// What a typed number becomes, field by field: the rule the editor's value entry and the
// studio's controls share.
TEST(EffectFields, TypedNumbersAreKeptAsTheValueEntryKeepsThem)
{
    auto field = [](const char* name) -> const EffectField& {
        for (const EffectField& f : effectFields)
            if (std::strcmp(f.name, name) == 0)
                return f;
        ADD_FAILURE() << "no field " << name;
        return effectFields[0];
    };
    const struct {
        const char* field;
        float typed, kept;
    } rows[] = {
        {"emitRate", 250.9f, 250.0f},         {"emitRate", -50.7f, -50.0f}, {"lifetime", 1e12f, 2147483520.0f},
        {"lifetime", -1e12f, -2147483648.0f}, {"coneAngle", 135.0f, 90.0f}, {"coneAngle", -10.0f, 0.0f},
        {"coneAngle", 12.5f, 12.5f},          {"size", -0.25f, -0.25f},     {"startColor", 2.5f, 2.5f},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.kept, KeptAsTyped(field(row.field), row.typed)) << row.field << " typed as " << row.typed;
    EXPECT_TRUE(std::isnan(KeptAsTyped(field("coneAngle"), NAN))) << "NaN stays NaN";
}
