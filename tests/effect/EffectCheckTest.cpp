// What the inspection says of an effect file: the fields a short file doesn't reach,
// bytes the editor ignores, why a file is refused, and files it can't read at all
// (a FIFO among them, refused without waiting for a writer).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "effect/EffectCheck.h"
#include "tests/support/EffectRecord.h"

namespace {

// Every field differs from the defaults and from 0.
const EmitterSettings distinct = {
    {0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, 0.75f, 3.5f, -1, 2500, true, {1.5f, -2.5f, 4.0f}, 33.0f};

EffectReport Inspect(const ScratchFolder& dir, const Bytes& bytes)
{
    const std::string path = dir.Path("e.QP");
    WriteBytes(path, bytes);
    return InspectEffectFile(path.c_str());
}

std::string Missing(size_t length, const std::string& names)
{
    return "short file: " + std::to_string(length) + " bytes end inside the record (65 bytes without a cone); " +
           names + " not stored and the editor starts with 0 there";
}

}  // namespace

TEST(EffectCheck, NamesWhatAShortFileDoesNotReach)
{
    ScratchFolder dir;
    const Bytes full = Record(distinct);
    const std::pair<size_t, std::string> cases[] = {
        {18, Missing(18, "startColor, endColor, size, velocity, lifetime, emitRate are")},
        {30, Missing(30, "startColor, endColor, size, lifetime, emitRate are")},
        {40, Missing(40, "endColor, size, lifetime, emitRate are")},
        {55, Missing(55, "size, lifetime, emitRate are")},
        {58, Missing(58, "lifetime, emitRate are")},
        {64, Missing(64, "emitRate is")},
        {70,
         "5 bytes after the 65-byte record are not a whole cone axis; the editor ignores them and reads the "
         "cone as off"},
        {79,
         "short file: 79 bytes end inside coneAngle (81 bytes with a cone); the cone is on and its angle "
         "starts at 0"},
    };
    for (const auto& c : cases) {
        const EffectReport report = Inspect(dir, Bytes(full.begin(), full.begin() + c.first));
        EXPECT_EQ(EFFECT_OK, report.result) << c.first << " bytes";
        EXPECT_TRUE(report.partial) << c.first << " bytes";
        EXPECT_EQ(c.first, report.fileSize);
        EXPECT_EQ(std::vector<std::string>{c.second}, report.problems) << c.first << " bytes";
    }
    // What the editor runs: the whole fields, 0 where the file ends.
    const EffectReport cut = Inspect(dir, Bytes(full.begin(), full.begin() + 62));
    EXPECT_EQ(-1, cut.settings.lifetime);
    EXPECT_EQ(0, cut.settings.emitRate);
    EXPECT_EQ(0.75f, cut.settings.size);
}

TEST(EffectCheck, WholeRecordsPassAndTrailingBytesAreNamed)
{
    ScratchFolder dir;
    EmitterSettings noCone = distinct;
    noCone.coneEnabled = false;
    for (const EmitterSettings& s : {noCone, distinct}) {
        const EffectReport report = Inspect(dir, Record(s));
        EXPECT_EQ(EFFECT_OK, report.result);
        EXPECT_FALSE(report.partial);
        EXPECT_EQ(std::vector<std::string>(), report.problems);
        EXPECT_EQ(Record(s), Record(report.settings));
    }
    Bytes trailing = Record(distinct);
    trailing.insert(trailing.end(), {1, 2, 3});
    const EffectReport report = Inspect(dir, trailing);
    EXPECT_EQ(EFFECT_OK, report.result);
    EXPECT_TRUE(report.partial);
    EXPECT_EQ(std::vector<std::string>{"3 trailing bytes after the 81-byte record; the editor ignores them"},
              report.problems);
    EXPECT_EQ(Record(distinct), Record(report.settings));
}

TEST(EffectCheck, RefusalsSayWhatIsWrong)
{
    ScratchFolder dir;
    const Bytes good = Record(distinct);
    Bytes magic = good, version = good;
    magic[0] = 'q';
    magic[14] = '\n';
    std::swap(version[15], version[16]);
    const std::string header = "; an effect file starts with the 17 bytes of its magic and version";
    const struct {
        Bytes bytes;
        EffectFileResult result;
        std::string says;
    } cases[] = {
        {{}, EFFECT_SHORT, "short file: 0 bytes" + header},
        {Bytes(good.begin(), good.begin() + 16), EFFECT_SHORT, "short file: 16 bytes" + header},
        {magic, EFFECT_BAD_MAGIC, "wrong magic: starts with \"qPARTICLESYSTE\\x0a\" instead of \"QPARTICLESYSTEM\""},
        {version, EFFECT_BAD_VERSION, "wrong version 0x0010 (bytes 10 00); this format is version 0x1000"},
    };
    for (const auto& c : cases) {
        const EffectReport report = Inspect(dir, c.bytes);
        EXPECT_EQ(c.result, report.result) << c.says;
        EXPECT_FALSE(report.partial) << c.says;
        EXPECT_EQ(c.bytes.size(), report.fileSize) << c.says;
        EXPECT_EQ(std::vector<std::string>{c.says}, report.problems);
        EXPECT_EQ(0, report.settings.emitRate) << c.says << ": a refused file fills nothing";
    }
}

TEST(EffectCheck, UnreadableFilesAreNamedAndAFifoIsNotWaitedOn)
{
    ScratchFolder dir;
    WriteBytes(dir.Path("plain.QP"), Record(distinct));
    ASSERT_EQ(0, mkfifo(dir.Path("fifo.QP").c_str(), 0600));
    const std::pair<std::string, std::string> cases[] = {
        {dir.Path("missing.QP"), "can't be read: No such file or directory"},
        {dir.Path("plain.QP/inside.QP"), "can't be read: Not a directory"},
        {dir.root, "is a directory, not an effect file"},
        {dir.Path("fifo.QP"), "is not a regular file"},
    };
    for (const auto& c : cases) {
        alarm(20);  // a read that waits for a FIFO's writer ends the test here
        const EffectReport report = InspectEffectFile(c.first.c_str());
        alarm(0);
        EXPECT_EQ(EFFECT_UNREADABLE, report.result) << c.first;
        EXPECT_EQ(0u, report.fileSize) << c.first;
        EXPECT_EQ(std::vector<std::string>{c.second}, report.problems) << c.first;
    }
}
