// qptool as a user runs it: dump then new --from over every length from 65 to 81,
// bad text refused by line, refusals with their messages, assignments and set
// applied whole or not at all, diff, and dump as a git textconv driver.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "tests/support/ToolRunner.h"

namespace {

const std::string qptool = QPTOOL_PATH;
ToolResult Qptool(const std::string& arguments)
{
    return RunTool(Quote(qptool) + " " + arguments);
}

float FromBits(uint32_t u)
{
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

std::vector<uint8_t> Encoded(const EmitterSettings& s)
{
    std::vector<uint8_t> bytes(EFFECT_FILE_CONE_SIZE);
    bytes.resize(EncodeEffect(s, bytes.data()));
    return bytes;
}

const std::vector<uint8_t> defaultFile = Encoded(DefaultEmitterSettings());

// A cone and values that are awkward to print, or that the editor's value entry
// would never make but a file can hold.
EmitterSettings Awkward()
{
    EmitterSettings s = DefaultEmitterSettings();
    s.startColor = Color4{FromBits(0x00000001u), 1.0f / 3.0f, -0.0f, 1e-42f};
    s.endColor = Color4{FromBits(0xffc00000u), FromBits(0x7fc12345u), FromBits(0x7f800001u), -INFINITY};
    s.size = 3.4028235e38f;
    s.lifetime = -2147483647 - 1;
    s.emitRate = 2147483647;
    s.coneEnabled = true;
    s.coneDirection = Vec3{0.57735026f, -0.57735026f, 0.57735026f};
    s.coneAngle = 120.0f;
    return s;
}

}  // namespace

// Every valid file dumps to text that `new --from` turns into the bytes the editor
// would save after loading it: from a file, from standard input, and from dump
// --textconv with its `#` lines. Cut at each length from 65 to 81: 66 to 76 hold no
// whole cone axis and read as cone off, so they save as 65 bytes; 77 to 80 end
// inside the angle, so the cone is on with the angle the editor starts with (0).
// Only 65 and 81 are whole records; dump says so for the others.
TEST(QptoolRoundTrip, DumpThenNewFromGivesTheSameBytes)
{
    ScratchFolder dir;
    EmitterSettings noCone = Awkward();
    noCone.coneEnabled = false;
    const std::vector<uint8_t> full = Encoded(Awkward());
    std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> files = {{defaultFile, defaultFile},
                                                                                {Encoded(noCone), Encoded(noCone)}};
    for (size_t length = 65; length <= 81; ++length) {
        std::vector<uint8_t> saved(full.begin(), full.begin() + (length >= 77 ? 81 : 65));
        if (length >= 77 && length < 81)
            std::fill(saved.begin() + 77, saved.end(), 0);
        files.emplace_back(std::vector<uint8_t>(full.begin(), full.begin() + length), saved);
    }
    const std::string in = dir.Path("in.QP"), text = dir.Path("in.txt"), out = dir.Path("out.QP");
    for (const auto& file : files) {
        const size_t length = file.first.size();
        WriteBytes(in, file.first);
        const ToolResult dump = Qptool("dump " + Quote(in));
        const bool partial = Has(dump.err, "record") || Has(dump.err, "short file");
        EXPECT_EQ(length != 65 && length != 81, partial) << length << ": " << dump.err;
        for (const char* how : {"file", "stdin", "textconv"}) {
            const std::string dumpAs = std::string(how) == "textconv" ? "dump --textconv " : "dump ";
            ASSERT_EQ(0, RunTool(Quote(qptool) + " " + dumpAs + Quote(in) + " >" + Quote(text)).exitCode);
            const std::string from = std::string(how) == "stdin" ? "--from - " + Quote(out) + " <" + Quote(text)
                                                                 : "--from " + Quote(text) + " " + Quote(out);
            const ToolResult made = RunTool(Quote(qptool) + " new --force " + from);
            ASSERT_EQ(0, made.exitCode) << how << ", length " << length << ": " << made.err;
            EXPECT_EQ(file.second, ReadBytes(out)) << how << ", length " << length;
        }
    }
}

TEST(QptoolFrom, RefusesBadTextNamingItsLineAndWritesNothing)
{
    ScratchFolder dir;
    const std::string text = dir.Path("in.txt"), out = dir.Path("out.QP");
    const std::pair<std::string, std::string> cases[] = {
        {"size = 1\nbogus = 2\n", "in.txt:2: 'bogus': no such field"},
        {"# size = 1\n\n  \t\n", "in.txt: no `name = value` line"},
        {"size 1\n", "in.txt:1: 'size 1': expected name=value"},
        {"\n\nsize = 1e40\n", "in.txt:3: 'size = 1e40': '1e40' is not a number"},
        {"lifetime = 1.5", "in.txt:1: 'lifetime = 1.5': lifetime takes a whole number"},
        {"coneAngle = 30\ncone = off\n", "in.txt:1: the cone's axis and angle are stored only with cone = on"},
        {std::string("size = 1\0\n", 10), "in.txt:1: not text (a NUL byte)"},
        {"size = 1\x1b[31m\n", "in.txt:1: 'size = 1?[31m': '1?[31m' is not a number"},
        {"size = " + std::string(100, '7'),
         "in.txt:1: 'size = " + std::string(53, '7') + "'...: '" + std::string(60, '7') + "'... is not a number"},
    };
    for (const auto& c : cases) {
        WriteBytes(text, std::vector<uint8_t>(c.first.begin(), c.first.end()));
        const ToolResult made = Qptool("new --from " + Quote(text) + " " + Quote(out));
        EXPECT_EQ(1, made.exitCode) << c.second;
        EXPECT_TRUE(Has(made.err, c.second)) << made.err;
        EXPECT_EQ(std::vector<uint8_t>(), ReadBytes(out)) << c.second << ": a file was written";
    }

    ASSERT_EQ(0, mkfifo(dir.Path("fifo").c_str(), 0600));
    WriteBytes(dir.Path("big.txt"), {});
    ASSERT_EQ(0, truncate(dir.Path("big.txt").c_str(), (1 << 20) + 1));
    const std::pair<std::string, const char*> unreadable[] = {{dir.Path("none.txt"), "No such file or directory"},
                                                              {dir.root, "is a folder, not a regular file"},
                                                              {dir.Path("fifo"), "not a regular file"},
                                                              {dir.Path("big.txt"), "1048577 bytes is too long"}};
    for (const auto& u : unreadable) {
        const ToolResult made =
            RunTool("timeout 20 " + Quote(qptool) + " new --from " + Quote(u.first) + " " + Quote(out));
        EXPECT_EQ(1, made.exitCode) << u.first;
        EXPECT_TRUE(Has(made.err, "qptool: " + u.first + ": ")) << made.err;
        EXPECT_TRUE(Has(made.err, u.second)) << made.err;
        EXPECT_EQ(std::vector<uint8_t>(), ReadBytes(out)) << u.first << ": a file was written";
    }
}

// The text goes on top of the defaults and the assignments after FILE on top of the
// text; CRLF line ends read as well.
TEST(QptoolFrom, AppliesTheTextThenTheAssignments)
{
    ScratchFolder dir;
    const std::string text = dir.Path("in.txt"), out = dir.Path("out.QP");
    const std::string crlf = "# tuned by hand\r\nsize = 0.5\r\ncone = on\r\n  coneAngle=30  \r\n";
    WriteBytes(text, std::vector<uint8_t>(crlf.begin(), crlf.end()));
    WriteBytes(out, defaultFile);
    const ToolResult refused = Qptool("new --from " + Quote(text) + " " + Quote(out));
    EXPECT_EQ(1, refused.exitCode) << refused.err;
    EXPECT_EQ(defaultFile, ReadBytes(out)) << "new replaces a file only when forced";
    const ToolResult both = Qptool("new --from " + Quote(text) + " --preset fire " + Quote(out));
    EXPECT_TRUE(Has(both.err, "not both")) << both.err;

    ASSERT_EQ(0, Qptool("new --force --from " + Quote(text) + " " + Quote(out) + " velocity=2").exitCode);
    EmitterSettings expected = DefaultEmitterSettings();
    expected.size = 0.5f;
    expected.coneEnabled = true;
    expected.coneAngle = 30.0f;
    expected.velocity = 2.0f;
    EXPECT_EQ(Encoded(expected), ReadBytes(out));
}

TEST(QptoolRefusals, SayPlainlyWhatIsWrongAndChangeNothing)
{
    ScratchFolder dir;
    std::vector<uint8_t> lower = defaultFile, swapped = defaultFile, trailing = Encoded(Awkward());
    lower[0] = 'q';
    std::swap(swapped[15], swapped[16]);
    trailing.insert(trailing.end(), {1, 2, 3});
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int dumpExit;
        const char* says;
    } cases[] = {
        {"empty.QP", {}, 1, "short file: 0 bytes"},
        {"header16.QP", std::vector<uint8_t>(defaultFile.begin(), defaultFile.begin() + 16), 1, "short file: 16 bytes"},
        {"lower.QP", lower, 1, "wrong magic: starts with \"qPARTICLESYSTEM\""},
        {"version.QP", swapped, 1, "wrong version 0x0010 (bytes 10 00)"},
        {"trailing.QP", trailing, 0, "3 trailing bytes"},
        {"cut40.QP", std::vector<uint8_t>(defaultFile.begin(), defaultFile.begin() + 40), 0,
         "endColor, size, lifetime, emitRate are not stored"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Path(c.name);
        WriteBytes(path, c.bytes);
        const ToolResult dump = Qptool("dump " + Quote(path));
        EXPECT_EQ(c.dumpExit, dump.exitCode) << c.name;
        EXPECT_EQ(c.dumpExit == 0, Has(dump.out, "emitRate = ")) << c.name;
        EXPECT_TRUE(Has(dump.err, path + ": ")) << dump.err;
        EXPECT_TRUE(Has(dump.err, c.says)) << dump.err;
        const ToolResult set = Qptool("set " + Quote(path) + " size=1");
        EXPECT_EQ(1, set.exitCode) << c.name;
        EXPECT_TRUE(Has(set.err, c.dumpExit ? c.says : "set --force")) << set.err;
        EXPECT_EQ(c.bytes, ReadBytes(path)) << c.name << " was changed";
    }
    ASSERT_EQ(0, Qptool("set --force " + Quote(dir.Path("trailing.QP")) + " size=1").exitCode);
    EmitterSettings forced = Awkward();
    forced.size = 1.0f;
    EXPECT_EQ(Encoded(forced), ReadBytes(dir.Path("trailing.QP")));

    ASSERT_EQ(0, mkfifo(dir.Path("fifo.QP").c_str(), 0600));
    const std::pair<std::string, const char*> unreadable[] = {{dir.Path("no.QP"), "No such file or directory"},
                                                              {dir.root, "is a directory"},
                                                              {dir.Path("fifo.QP"), "is not a regular file"}};
    for (const auto& u : unreadable) {
        const ToolResult dump = RunTool("timeout 20 " + Quote(qptool) + " dump " + Quote(u.first));
        EXPECT_EQ(1, dump.exitCode) << u.first;
        EXPECT_TRUE(Has(dump.err, u.first + ": ")) << dump.err;
        EXPECT_TRUE(Has(dump.err, u.second)) << dump.err;
    }
}

TEST(QptoolSetAndDiff, SetChangesFieldsWholeOrNotAtAllAndDiffListsThem)
{
    ScratchFolder dir;
    const std::string a = dir.Path("a.QP"), b = dir.Path("b.QP");
    WriteBytes(a, defaultFile);
    WriteBytes(b, defaultFile);
    const std::pair<const char*, const char*> refused[] = {
        {"size=0.5 lifetime=2147483648", "'lifetime=2147483648': lifetime takes a whole number"},
        {"size", "'size': expected name=value"},
        {"startColor.x=1", "'startColor.x': no such field"},
        {"startColor=1,,1,1,1", "4 numbers"},
        {"size=1e40", "'1e40' is not a number that fits"},
        {"'size=nan(0x3f800000)'", "not a number"},
        {"cone=yes", "cone is on or off"},
        {"coneAngle=30", "only with cone=on"},
        {"cone=on coneDirection.x=1 cone=off", "only with cone=on"}};
    for (const auto& c : refused) {
        const ToolResult bad = Qptool("set " + Quote(b) + " " + c.first);
        EXPECT_EQ(1, bad.exitCode) << c.first;
        EXPECT_TRUE(Has(bad.err, c.second)) << c.first << ": " << bad.err;
        EXPECT_EQ(defaultFile, ReadBytes(b)) << c.first << " changed the file";
    }
    ASSERT_EQ(0, Qptool("set " + Quote(b) +
                        " coneAngle=130 'startColor=0.5, 0.25 0,1' endColor.a=-0 cone=on "
                        "coneDirection.y=2 emitRate=250")
                     .exitCode);
    const ToolResult differ = Qptool("diff " + Quote(a) + " " + Quote(b));
    EXPECT_EQ(1, differ.exitCode);
    EXPECT_EQ(
        "startColor: 1, 1, 1, 1 -> 0.5, 0.25, 0, 1\nendColor: 1, 1, 1, 0 -> 1, 1, 1, -0\n"
        "emitRate: 100 -> 250\ncone: off -> on\nconeDirection: (absent) -> 0, 2, -1\n"
        "coneAngle: (absent) -> 130\n",
        differ.out);
    EXPECT_EQ(0, Qptool("diff " + Quote(a) + " " + Quote(a)).exitCode);
    EXPECT_EQ(2, Qptool("diff " + Quote(a) + " " + Quote(dir.Path("none.QP"))).exitCode);

    const ToolResult exists = Qptool("new " + Quote(a) + " size=2");
    EXPECT_EQ(1, exists.exitCode);
    EXPECT_TRUE(Has(exists.err, "exists")) << exists.err;
    EXPECT_EQ(defaultFile, ReadBytes(a)) << "new replaces a file only when forced";
    const ToolResult nowhere = Qptool("new " + Quote(dir.Path("no/such/folder.QP")));
    EXPECT_EQ(1, nowhere.exitCode);
    EXPECT_EQ("qptool: couldn't write the file " + dir.Path("no/such/folder.QP") +
                  ": No such file or directory (nothing was changed)\n",
              nowhere.err);
}

// One bad file in the history must not stop git diff or git log -p.
TEST(QptoolDump, WorksAsAGitTextconvDriverEvenOverABadFile)
{
    ScratchFolder dir;
    WriteBytes(dir.Path("a.QP"), defaultFile);
    WriteBytes(dir.Path("b.QP"), Encoded(Awkward()));
    WriteBytes(dir.Path("bad.QP"), {'n', 'o'});
    WriteBytes(dir.Path("attributes"), {'*', '.', 'Q', 'P', ' ', 'd', 'i', 'f', 'f', '=', 'q', 'p', '\n'});
    const auto gitDiff = [&](const std::string& files) {
        return RunTool("cd " + Quote(dir.root) + " && git -c core.attributesFile=attributes -c " +
                       Quote("diff.qp.textconv=" + qptool + " dump --textconv") + " diff --no-index " + files);
    };
    const ToolResult good = gitDiff("a.QP b.QP"), bad = gitDiff("a.QP bad.QP");
    EXPECT_EQ(1, good.exitCode) << good.err;
    EXPECT_TRUE(Has(good.out, "\n+size = 3.4028235e+38\n velocity = 0.2\n")) << good.out;
    EXPECT_EQ(1, bad.exitCode) << bad.err;
    EXPECT_TRUE(Has(bad.out, "\n+# short file: 2 bytes;")) << bad.out;
    EXPECT_TRUE(Has(bad.out, "\n-startColor = 1, 1, 1, 1\n")) << bad.out;
}
