// qtex, qfont and llpack against inputs that aren't theirs or are hostile: each tool runs
// as its own process, and its peak memory is what the kernel measured for that process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "files/NameText.h"
#include "tests/support/MeasuredRun.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRunner.h"
#include "tools/common/PngFile.h"

namespace {
using AssetLimits = InScratchFolder;

const long memoryLimitKb = 64 * 1024;  // what a refusal may cost, whatever the file's size
const char dejavu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// A sparse file of `size` bytes that starts with `start`: it takes no room on disk.
void MakeSparse(const std::string& path, uint64_t size, const Bytes& start = {})
{
    WriteBytes(path, start);
    ASSERT_EQ(0, truncate(path.c_str(), off_t(size))) << path;
}

// A one-colour PNG of width x height one-bit grey pixels, written row by row: the file
// is small (zlib squeezes each blank row to a few bytes) but promises every pixel.
void MakeBombPng(const std::string& path, uint32_t width, uint32_t height)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row((width + 7) / 8, 0);
    for (uint32_t y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

void ExpectRefused(const MeasuredRun& run, const std::string& text, const std::string& context)
{
    EXPECT_EQ(1, run.exitCode) << context;
    EXPECT_TRUE(Has(run.err, text)) << context << ": wanted \"" << text << "\" in\n" << run.err;
    EXPECT_GT(memoryLimitKb, run.peakKb) << context << " peak kilobytes";
}
}  // namespace

// A 4.3 GB file of zeros, and files that start like each format but promise more than
// the tools read: each tool says what is wrong from the header in little memory.
TEST_F(AssetLimits, HugeFilesAreRefusedFromTheirHeaders)
{
    MakeSparse("zeros.bin", 4300000000u);
    Bytes texture = {'Q', 'T', 'E', 'X', 0, 1, 4, 1, 0xff, 0xff, 0xff, 0xff};  // one 65535 x 65535 RGBA level
    MakeSparse("huge.qtex", 3000000000u, texture);
    Bytes pack = {'L', 'L', 'P', 'A', 'C', 'K', 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};  // four billion entries
    MakeSparse("huge.pak", 4300000000u, pack);
    MakeSparse("blank.ttf", 200000000u);  // under qfont's cap: FreeType reads only what it needs
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{QTEX_TOOL, "--info", "zeros.bin"}, "qtex: zeros.bin: does not start with the tag \"QTEX\""},
        {{QTEX_TOOL, "--png", "zeros.bin", "out.png"}, "qtex: zeros.bin: has no level 0"},
        {{QTEX_TOOL, "zeros.bin", "out.qtex"}, "qtex: zeros.bin: not a readable PNG file"},
        {{QTEX_TOOL, "--info", "huge.qtex"},
         "qtex: huge.qtex: its levels take 3000000000 bytes; qtex reads textures of at most 2147483648 bytes"},
        {{LLPACK_TOOL, "list", "zeros.bin"}, "llpack: zeros.bin: not an LLPACK archive"},
        {{LLPACK_TOOL, "extract", "zeros.bin"}, "llpack: zeros.bin: not an LLPACK archive"},
        {{LLPACK_TOOL, "create", "out.pak", "zeros.bin"}, "llpack: out.pak: the archive would pass 4 GiB"},
        {{LLPACK_TOOL, "list", "huge.pak"},
         "llpack: huge.pak: directory holds 4294967295 entries; llpack reads at most 65536"},
        {{QFONT_TOOL, "zeros.bin", "out.QF"}, "qfont: zeros.bin: is 4300000000 bytes; qfont reads fonts of at most"},
        {{QFONT_TOOL, "blank.ttf", "out.QF"}, "qfont: blank.ttf: not a font FreeType can read"},
    };
    for (const auto& c : cases)
        ExpectRefused(RunMeasured(c.first), c.second, c.first[1] + " " + c.first[2]);
    for (const char* output : {"out.png", "out.qtex", "out.pak", "out.QF"})
        EXPECT_FALSE(std::filesystem::exists(output)) << output;
}

// A PNG of a few hundred kilobytes that decodes to 400 million pixels is refused from its
// header, before a pixel is decoded; one within the budget still converts.
TEST_F(AssetLimits, PngBombIsRefusedBeforeDecoding)
{
    MakeBombPng("bomb.png", 20000, 20000);
    EXPECT_GT(1000000u, std::filesystem::file_size("bomb.png")) << "the bomb is small";
    ExpectRefused(RunMeasured({QTEX_TOOL, "bomb.png", "out.qtex"}),
                  "qtex: bomb.png: image is 20000 x 20000 pixels (400000000); qtex converts at most 268435456 pixels",
                  "bomb");
    EXPECT_FALSE(std::filesystem::exists("out.qtex"));
    MakeBombPng("wide.png", 4000, 2);
    EXPECT_EQ(0, RunMeasured({QTEX_TOOL, "wide.png", "wide.qtex"}).exitCode) << "8000 pixels";
    ToolResult info = RunProgram({QTEX_TOOL, "--info", "wide.qtex"});
    EXPECT_TRUE(Has(info.out, "level 0: 4000 x 2, 24000 bytes")) << info.out;
}

// An output that is an input, by its own name, a hard link or a symbolic link, is
// refused before anything is written, and the input keeps every byte.
TEST_F(AssetLimits, OutputOverItsOwnInputIsRefused)
{
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "--particle", "--size", "4", "a.qtex"}).exitCode);
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "--png", "a.qtex", "in.png"}).exitCode);
    std::filesystem::copy_file(dejavu, "f.ttf");
    WriteBytes("data.bin", {1, 2, 3});
    ASSERT_EQ(0, RunProgram({LLPACK_TOOL, "create", "a.pak", "self.pak=data.bin"}).exitCode);
    std::filesystem::copy_file("a.pak", "self.pak");
    for (const char* name : {"a.qtex", "in.png", "f.ttf", "a.pak"}) {
        std::filesystem::create_hard_link(name, std::string("hard-") + name);
        std::filesystem::create_symlink(name, std::string("sym-") + name);
    }
    const std::vector<std::string> inputs = {"a.qtex", "in.png", "f.ttf", "a.pak", "self.pak"};
    std::vector<Bytes> before;
    for (const std::string& input : inputs)
        before.push_back(ReadBytes(input));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{QTEX_TOOL, "--png", "a.qtex", "a.qtex"}, "qtex: a.qtex: is the same file as the input a.qtex"},
        {{QTEX_TOOL, "--png", "a.qtex", "hard-a.qtex"}, "qtex: hard-a.qtex: is the same file as the input a.qtex"},
        {{QTEX_TOOL, "in.png", "in.png"}, "qtex: in.png: is the same file as the input in.png"},
        {{QTEX_TOOL, "in.png", "sym-in.png"}, "qtex: sym-in.png: is the same file as the input in.png"},
        {{QFONT_TOOL, "f.ttf", "f.ttf"}, "qfont: f.ttf: is the same file as the input f.ttf"},
        {{QFONT_TOOL, "f.ttf", "hard-f.ttf"}, "qfont: hard-f.ttf: is the same file as the input f.ttf"},
        {{LLPACK_TOOL, "create", "a.pak", "a.pak"}, "llpack: a.pak: is the same file as the input a.pak"},
        {{LLPACK_TOOL, "create", "sym-a.pak", "data.bin", "x=a.pak"},
         "llpack: sym-a.pak: is the same file as the input a.pak"},
        {{LLPACK_TOOL, "extract", "self.pak"}, "llpack: ./self.pak: is the same file as the input self.pak"},
    };
    for (const auto& c : cases)
        ExpectRefused(RunMeasured(c.first), c.second, c.first[1] + " " + c.first[2]);
    for (size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(before[i], ReadBytes(inputs[i])) << inputs[i] << " kept every byte";
}

// Names with escape sequences and newlines reach no terminal raw: messages show them
// escaped, and extract refuses to write files under them.
TEST_F(AssetLimits, NamesCannotTalkToTheTerminal)
{
    const std::string title = "\x1b]0;pwned\x07\x1b[2J", line = "new\nline";
    WriteBytes("evil.pak", MakeArchive({{title, {1}}, {line, {2}}, {"ok", {3}}}));
    std::filesystem::create_directory("out");
    MeasuredRun extract = RunMeasured({LLPACK_TOOL, "extract", "evil.pak", "-C", "out"});
    EXPECT_EQ(1, extract.exitCode);
    for (const std::string& shown : {std::string("\\x1b]0;pwned\\x07\\x1b[2J"), std::string("new\\x0aline")})
        EXPECT_TRUE(Has(extract.err, "llpack: evil.pak: entry \"" + shown +
                                         "\" has control characters in its name; it is not written"))
            << extract.err;
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator("out"))
        written.push_back(entry.path().filename().string());
    EXPECT_EQ(std::vector<std::string>{"ok"}, written) << "only the plain name is written";

    // File names given to the tools come back escaped in their messages.
    const std::string evil = "evil" + title;
    WriteBytes(evil, {'n', 'o', 't'});
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{QTEX_TOOL, "--info", evil}, "qtex: evil\\x1b]0;pwned\\x07\\x1b[2J: does not start with the tag"},
        {{QTEX_TOOL, evil, "out.qtex"}, "qtex: evil\\x1b]0;pwned\\x07\\x1b[2J: not a readable PNG file"},
        {{QTEX_TOOL, "--particle", "no/" + evil}, "qtex: no/evil\\x1b]0;pwned\\x07\\x1b[2J: "},
        {{QFONT_TOOL, evil, "out.QF"}, "qfont: evil\\x1b]0;pwned\\x07\\x1b[2J: not a font FreeType can read"},
        {{LLPACK_TOOL, "list", evil}, "llpack: evil\\x1b]0;pwned\\x07\\x1b[2J: not an LLPACK archive"},
        {{LLPACK_TOOL, "create", "out.pak", "missing" + line}, "llpack: missingnew\\x0aline: No such file"},
        {{LLPACK_TOOL, "extract", "evil.pak", "-C", "out", "nope" + title},
         "llpack: evil.pak: no entry named \"nope\\x1b]0;pwned\\x07\\x1b[2J\""},
    };
    for (const auto& c : cases) {
        ToolResult run = RunProgram(c.first);
        EXPECT_EQ(1, run.exitCode) << EscapedName(c.first[1]);
        EXPECT_TRUE(Has(run.err, c.second)) << c.second << " in\n" << run.err;
        EXPECT_EQ(std::string::npos, (run.out + run.err).find('\x1b')) << "a raw escape in " << run.out << run.err;
    }
}

// An empty or missing level is named when it is asked for as a PNG; --info lists
// every problem of the file.
TEST_F(AssetLimits, EmptyAndMissingLevelsAreNamed)
{
    WriteBytes("empty.qtex", {'Q', 'T', 'E', 'X', 0, 1, 3, 1, 0, 0, 0, 0});  // one level of 0 x 0
    ASSERT_EQ(0, RunProgram({QTEX_TOOL, "--particle", "--size", "4", "four.qtex"}).exitCode);
    Bytes trailing = ReadBytes("four.qtex");
    trailing.resize(trailing.size() + 1000, 9);
    WriteBytes("trailing.qtex", trailing);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{QTEX_TOOL, "--png", "empty.qtex", "out.png"},
         "qtex: empty.qtex: level 0 is 0 x 0: it has no pixels to write as a PNG"},
        {{QTEX_TOOL, "--png", "--level", "3", "four.qtex", "out.png"}, "qtex: four.qtex: has no level 3\n"},
        {{QTEX_TOOL, "--png", "--level", "3", "trailing.qtex", "out.png"},
         "qtex: trailing.qtex: has no level 3 (1000 bytes follow the last level)\n"},
        {{QTEX_TOOL, "--info", "empty.qtex"}, "qtex: empty.qtex: level 0 is 0 x 0: it has no pixels\n"},
        {{QTEX_TOOL, "--info", "empty.qtex"}, "qtex: empty.qtex: mipmap chain stops at 0 x 0"},
        {{QTEX_TOOL, "--info", "trailing.qtex"}, "qtex: trailing.qtex: 1000 bytes follow the last level"},
    };
    for (const auto& c : cases) {
        ToolResult run = RunProgram(c.first);
        EXPECT_EQ(1, run.exitCode) << c.second;
        EXPECT_TRUE(Has(run.err, c.second)) << c.second << " in\n" << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists("out.png"));
    ToolResult info = RunProgram({QTEX_TOOL, "--info", "trailing.qtex"});
    EXPECT_TRUE(Has(info.out, "3 levels, " + std::to_string(trailing.size()) + " bytes\n")) << info.out;
}
