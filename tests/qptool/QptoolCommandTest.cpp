// qptool as a user runs it: dump/new round trips, load/save over every length the
// reader takes from 65 to 81 bytes, refusals with their messages, set written
// whole or not at all, diff's exit codes, and dump as a git textconv driver.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "app/EffectFile.h"
#include "app/EmitterSettings.h"
#include "tests/qptool/ToolRunner.h"

namespace {

const std::string qptool = QPTOOL_PATH;

ToolResult Qptool(const std::string& arguments) { return RunTool(Quote(qptool) + " " + arguments); }

// The defaults as the editor saves them: magic, version 00 10, velocity 0.2, white
// start, transparent white end, size 0.02, 1000 ms, 100 per second.
const std::vector<uint8_t> defaultFile = {
    'Q', 'P', 'A', 'R', 'T', 'I', 'C', 'L', 'E', 'S', 'Y', 'S', 'T', 'E', 'M', 0x00, 0x10, 0xcd, 0xcc, 0x4c, 0x3e,
    0, 0, 0x80, 0x3f, 0, 0, 0x80, 0x3f, 0, 0, 0x80, 0x3f, 0, 0, 0x80, 0x3f,
    0, 0, 0x80, 0x3f, 0, 0, 0x80, 0x3f, 0, 0, 0x80, 0x3f, 0, 0, 0, 0,
    0x0a, 0xd7, 0xa3, 0x3c, 0xe8, 0x03, 0, 0, 0x64, 0, 0, 0};

std::vector<uint8_t> Encoded(const EmitterSettings& s)
{
    std::vector<uint8_t> bytes(EFFECT_FILE_CONE_SIZE);
    bytes.resize(EncodeEffect(s, bytes.data()));
    return bytes;
}

// A cone and values that are awkward to print.
EmitterSettings Awkward()
{
    EmitterSettings s = DefaultEmitterSettings();
    s.startColor = Color4{0.1f, 1.0f / 3.0f, -0.0f, 1e-42f};
    const uint32_t nanBits = 0x7fc12345u;
    memcpy(&s.endColor.g, &nanBits, sizeof nanBits);
    s.size = 3.4028235e38f;
    s.lifetime = -2147483647 - 1;
    s.emitRate = 2147483647;
    s.coneEnabled = true;
    s.coneDirection = Vec3{0.57735026f, -0.57735026f, 0.57735026f};
    s.coneAngle = 89.99999f;
    return s;
}

// "name = value" lines to "name=value" arguments.
std::string AssignmentsFromDump(const std::string& dump)
{
    std::istringstream lines(dump);
    std::string line, arguments;
    while (std::getline(lines, line)) {
        const size_t eq = line.find(" = ");
        if (eq != std::string::npos) arguments += " " + Quote(line.substr(0, eq) + "=" + line.substr(eq + 3));
    }
    return arguments;
}

}  // namespace

TEST(QptoolRoundTrip, DumpThenNewGivesTheSameBytes)
{
    ScratchDir dir;
    EmitterSettings noCone = Awkward();
    noCone.coneEnabled = false;
    const std::vector<std::vector<uint8_t>> files = {defaultFile, Encoded(Awkward()), Encoded(noCone)};
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string original = dir.Path("in.QP"), copy = dir.Path("out" + std::to_string(i) + ".QP");
        WriteBytes(original, files[i]);
        const ToolResult dump = Qptool("dump " + Quote(original));
        ASSERT_EQ(0, dump.exitCode) << dump.err;
        EXPECT_EQ("", dump.err);
        ASSERT_EQ(0, Qptool("new " + Quote(copy) + AssignmentsFromDump(dump.out)).exitCode);
        EXPECT_EQ(files[i], ReadBytes(copy)) << "file " << i << ", dumped as\n" << dump.out;
    }
    ASSERT_EQ(0, Qptool("new " + Quote(dir.Path("plain.QP"))).exitCode);
    EXPECT_EQ(defaultFile, ReadBytes(dir.Path("plain.QP"))) << "new without assignments writes the defaults";
}

// The writer makes 65 and 81 bytes, and those come back unchanged. The reader also
// takes the lengths between: 66 to 76 bytes hold no whole cone axis and read as cone
// off, so they save as 65 bytes; 77 to 80 end inside the angle, so the cone is on
// with the angle the editor starts with (0). The tool says so for each.
TEST(QptoolRoundTrip, LoadThenSaveOverEveryLengthFrom65To81)
{
    ScratchDir dir;
    EmitterSettings cone = DefaultEmitterSettings();
    cone.coneEnabled = true;
    cone.coneDirection = Vec3{0.25f, -0.5f, 0.75f};
    cone.coneAngle = 33.5f;
    const std::vector<uint8_t> full = Encoded(cone);
    ASSERT_EQ(81u, full.size());
    for (size_t length = 65; length <= 81; ++length) {
        std::vector<uint8_t> expected(full.begin(), full.begin() + (length >= 77 ? 81 : 65));
        if (length >= 77 && length < 81) std::fill(expected.begin() + 77, expected.end(), 0);
        const std::string name = dir.Path("cut.QP"), saved = dir.Path("saved.QP"), rebuilt = dir.Path("new.QP");
        WriteBytes(name, std::vector<uint8_t>(full.begin(), full.begin() + length));

        EmitterSettings loaded = {};
        ASSERT_EQ(EFFECT_OK, ReadEffectFile(name.c_str(), loaded)) << length;
        ASSERT_TRUE(WriteEffectFile(saved.c_str(), loaded)) << length;
        EXPECT_EQ(expected, ReadBytes(saved)) << "load then save, length " << length;

        const ToolResult dump = Qptool("dump " + Quote(name));
        ASSERT_EQ(0, dump.exitCode) << length << ": " << dump.err;
        EXPECT_EQ(length == 65 || length == 81, dump.err.empty()) << length << ": " << dump.err;
        ASSERT_EQ(0, Qptool("new --force " + Quote(rebuilt) + AssignmentsFromDump(dump.out)).exitCode) << length;
        EXPECT_EQ(expected, ReadBytes(rebuilt)) << "dump then new, length " << length;
    }
}

TEST(QptoolRefusals, SayPlainlyWhatIsWrongAndChangeNothing)
{
    ScratchDir dir;
    std::vector<uint8_t> lowerMagic = defaultFile, swappedVersion = defaultFile;
    lowerMagic[0] = 'q';
    std::swap(swappedVersion[15], swappedVersion[16]);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* says;
    } cases[] = {
        {"empty.QP", {}, "short file: 0 bytes"},
        {"header16.QP", std::vector<uint8_t>(defaultFile.begin(), defaultFile.begin() + 16), "short file: 16 bytes"},
        {"lower.QP", lowerMagic, "wrong magic: starts with \"qPARTICLESYSTEM\""},
        {"version.QP", swappedVersion, "wrong version 0x0010 (bytes 10 00)"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path(c.name);
        WriteBytes(path, c.bytes);
        const ToolResult dump = Qptool("dump " + Quote(path));
        EXPECT_EQ(1, dump.exitCode) << c.name;
        EXPECT_EQ("", dump.out) << c.name;
        EXPECT_NE(std::string::npos, dump.err.find(path + ": " + c.says)) << dump.err;
        EXPECT_EQ(1, Qptool("set " + Quote(path) + " size=1").exitCode) << c.name;
        EXPECT_EQ(c.bytes, ReadBytes(path)) << c.name << " was changed";
    }
    EXPECT_NE(std::string::npos, Qptool("dump " + Quote(dir.Path("no.QP"))).err.find("No such file or directory"));
    EXPECT_NE(std::string::npos, Qptool("dump " + Quote(dir.root)).err.find("is a directory"));
}

TEST(QptoolRefusals, PartReadFilesAreReportedAndRewrittenOnlyWhenForced)
{
    ScratchDir dir;
    const std::string name = dir.Path("e.QP");
    std::vector<uint8_t> trailing = Encoded(Awkward());
    trailing.insert(trailing.end(), {1, 2, 3});
    WriteBytes(name, trailing);
    const ToolResult dump = Qptool("dump " + Quote(name));
    EXPECT_EQ(0, dump.exitCode);
    EXPECT_NE(std::string::npos, dump.err.find("3 trailing bytes")) << dump.err;
    const ToolResult refused = Qptool("set " + Quote(name) + " size=1");
    EXPECT_EQ(1, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find("--force")) << refused.err;
    EXPECT_EQ(trailing, ReadBytes(name));
    ASSERT_EQ(0, Qptool("set --force " + Quote(name) + " size=1").exitCode);
    EmitterSettings expected = Awkward();
    expected.size = 1.0f;
    EXPECT_EQ(Encoded(expected), ReadBytes(name));

    WriteBytes(name, std::vector<uint8_t>(defaultFile.begin(), defaultFile.begin() + 40));
    const ToolResult cut = Qptool("dump " + Quote(name));
    EXPECT_EQ(0, cut.exitCode);
    EXPECT_NE(std::string::npos, cut.err.find("endColor, size, lifetime, emitRate are not stored")) << cut.err;
    EXPECT_NE(std::string::npos, cut.out.find("\nsize = 0\n")) << "the editor starts with 0 there";
}

TEST(QptoolSet, ChangesFieldsWholeOrNotAtAll)
{
    ScratchDir dir;
    const std::string name = dir.Path("e.QP");
    WriteBytes(name, defaultFile);
    const ToolResult bad = Qptool("set " + Quote(name) + " size=0.5 lifetime=soon");
    EXPECT_EQ(1, bad.exitCode);
    EXPECT_NE(std::string::npos, bad.err.find("lifetime=soon")) << bad.err;
    EXPECT_EQ(defaultFile, ReadBytes(name)) << "a refused set leaves the file alone";

    ASSERT_EQ(0, Qptool("set " + Quote(name) + " cone=on coneAngle=45 startColor.g=0.5").exitCode);
    EmitterSettings expected = DefaultEmitterSettings();
    expected.coneEnabled = true;
    expected.coneAngle = 45.0f;
    expected.startColor.g = 0.5f;
    EXPECT_EQ(Encoded(expected), ReadBytes(name));

    const ToolResult exists = Qptool("new " + Quote(name));
    EXPECT_EQ(1, exists.exitCode);
    EXPECT_NE(std::string::npos, exists.err.find("exists")) << exists.err;
    EXPECT_EQ(Encoded(expected), ReadBytes(name)) << "new never replaces a file unless forced";
    const ToolResult nowhere = Qptool("new " + Quote(dir.Path("no/such/folder.QP")));
    EXPECT_EQ(1, nowhere.exitCode);
    EXPECT_NE(std::string::npos, nowhere.err.find("couldn't write")) << nowhere.err;
}

TEST(QptoolDiff, ListsDifferencesWithDiffsExitCodes)
{
    ScratchDir dir;
    WriteBytes(dir.Path("a.QP"), defaultFile);
    WriteBytes(dir.Path("bad.QP"), {'n', 'o'});
    ASSERT_EQ(0, Qptool("new " + Quote(dir.Path("b.QP")) + " emitRate=250").exitCode);
    const ToolResult differ = Qptool("diff " + Quote(dir.Path("a.QP")) + " " + Quote(dir.Path("b.QP")));
    EXPECT_EQ(1, differ.exitCode);
    EXPECT_EQ("emitRate: 100 -> 250\n", differ.out);
    EXPECT_EQ(0, Qptool("diff " + Quote(dir.Path("a.QP")) + " " + Quote(dir.Path("a.QP"))).exitCode);
    EXPECT_EQ(2, Qptool("diff " + Quote(dir.Path("a.QP")) + " " + Quote(dir.Path("bad.QP"))).exitCode);
}

TEST(QptoolDump, WorksAsAGitTextconvDriver)
{
    ScratchDir dir;
    WriteBytes(dir.Path("a.QP"), defaultFile);
    WriteBytes(dir.Path("b.QP"), defaultFile);
    ASSERT_EQ(0, Qptool("set " + Quote(dir.Path("b.QP")) + " size=0.5").exitCode);
    const std::string attributes = "*.QP diff=qp\n";
    WriteBytes(dir.Path("attributes"), std::vector<uint8_t>(attributes.begin(), attributes.end()));
    const ToolResult git = RunTool("cd " + Quote(dir.root) + " && git -c core.attributesFile=attributes -c " +
                                   Quote("diff.qp.textconv=" + qptool + " dump") + " diff --no-index a.QP b.QP");
    EXPECT_EQ(1, git.exitCode) << git.err;
    EXPECT_NE(std::string::npos, git.out.find("\n-size = 0.0199999996\n+size = 0.5\n velocity")) << git.out;
}
