// qprender at its edges: a GIF's memory against its length, a GIF cut short by a
// signal, an output that is one of the inputs by another name, and names that hold
// terminal escapes. Each run is its own process, measured by the kernel.

#include <gtest/gtest.h>

#include <cstdlib>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "tests/support/InScratchFolder.h"
#include "tests/support/MeasuredRun.h"
#include "tests/support/ToolRunner.h"
#include "tools/qprender/RenderOptions.h"

namespace {

using QprenderLimits = InScratchFolder;
const std::string qprender = QPRENDER_PATH;
const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";

// An effect of its own to read, changing colour as its particles age.
void WriteBusyEffect(const std::string& path)
{
    EmitterSettings s = DefaultEmitterSettings();
    s.startColor = {1.0f, 0.2f, 0.1f, 1.0f};
    s.endColor = {0.1f, 0.4f, 1.0f, 0.2f};
    s.emitRate = 400;
    s.size = 0.3f;
    s.velocity = 0.8f;
    ASSERT_TRUE(WriteEffectFile(path.c_str(), s)) << path;
}

std::vector<std::string> GifRun(const std::string& frames, const std::string& output)
{
    return {qprender, texture, "--frames", frames, "--interval", "40", "--turn", "0,90,0", "-o", output};
}

}  // namespace

// Frames go to the file as they are encoded: ten times the frames, the same memory.
TEST_F(QprenderLimits, AGifOfTenTimesTheFramesTakesNoMoreMemory)
{
    // A sanitizer build keeps freed blocks in quarantine (256 MiB by default), which
    // would count freed frames as held: the runs measured here keep none.
    const char* asan = getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + (asan ? ":" : "") + "quarantine_size_mb=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    const MeasuredRun shortRun = RunMeasured(GifRun("20", "short.gif"));
    const MeasuredRun longRun = RunMeasured(GifRun("200", "long.gif"));
    ASSERT_EQ(0, shortRun.exitCode) << shortRun.err;
    ASSERT_EQ(0, longRun.exitCode) << longRun.err;
    EXPECT_GE(shortRun.peakKb * 11 / 10, longRun.peakKb)
        << "peak KiB of 200 frames against " << shortRun.peakKb << " for 20";
}

// A GIF ended by SIGTERM half-way leaves the old file and no temporary.
TEST_F(QprenderLimits, AGifCutShortBySignalLeavesTheOldFile)
{
    WriteBytes("out.gif", Bytes{'o', 'l', 'd'});
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDERR_FILENO);
        execl(qprender.c_str(), qprender.c_str(), texture.c_str(), "--frames", "5000", "-o", "out.gif", nullptr);
        _exit(127);
    }
    sleep(2);
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "status " << status << ": it ended before the signal";
    EXPECT_EQ((Bytes{'o', 'l', 'd'}), ReadBytes("out.gif"));
    EXPECT_EQ(1, here.folder.Count()) << "out.gif only";
}

// An output that is the texture, an effect or a picture of a series, by a hard or a
// symbolic link, is refused before anything is written, and the input stays.
TEST_F(QprenderLimits, AnOutputThatIsAnInputIsRefused)
{
    WriteBusyEffect("busy.QP");
    const Bytes effect = ReadBytes("busy.QP");
    ASSERT_EQ(0, link("busy.QP", "hard.png"));
    ASSERT_EQ(0, symlink("busy.QP", "soft.gif"));
    ASSERT_EQ(0, link("busy.QP", "f3.png"));
    ASSERT_EQ(0, symlink(texture.c_str(), "tex.webp"));
    const struct {
        std::vector<std::string> args;
        std::string output;  // the name refused
        int exitCode;
    } runs[] = {
        {{qprender, texture, "busy.QP", "-o", "hard.png"}, "hard.png", 1},
        {{qprender, texture, "busy.QP", "--frames", "3", "-o", "soft.gif"}, "soft.gif", 1},
        {{qprender, texture, "busy.QP", "--frames", "5", "-o", "f%d.png"}, "f3.png", 1},
        {{qprender, texture, "--frames", "2", "-o", "tex.webp"}, "tex.webp", 1},
        {{qprender, texture, "--against", "busy.QP", "-o", "hard.png"}, "hard.png", 2},
    };
    for (const auto& run : runs) {
        const MeasuredRun result = RunMeasured(run.args);
        const std::string& output = run.output;
        EXPECT_EQ(run.exitCode, result.exitCode) << output << ": " << result.err;
        EXPECT_TRUE(Has(result.err, "qprender: " + output + ": is the same file as the input")) << output << ":\n"
                                                                                                << result.err;
    }
    EXPECT_EQ(effect, ReadBytes("busy.QP"));
    EXPECT_EQ(ReadBytes(texture).size(), ReadBytes("tex.webp").size());
    EXPECT_NE(0, access("f1.png", F_OK)) << "a series picture written before the refusal";
}

// Names from the command line reach standard error with control bytes as \xNN.
TEST_F(QprenderLimits, NamesInMessagesAreEscaped)
{
    const std::vector<std::vector<std::string>> runs = {
        {qprender, "ev\x1b]0;T\a.qtex", "-o", "x.png"},
        {qprender, texture, "e\x1b[2J.QP", "-o", "x.png"},
        {qprender, texture, "-o", "x\x1b[2J.txt"},
        {qprender, texture, "--against", "b\x1b[2J.QP", "-o", "x.png"},
    };
    for (const auto& run : runs) {
        const MeasuredRun result = RunMeasured(run);
        EXPECT_EQ(std::string::npos, result.err.find('\x1b')) << run[run.size() - 3] << ":\n" << result.err;
        EXPECT_TRUE(Has(result.err, "\\x1b")) << run[run.size() - 3] << ":\n" << result.err;
    }
}

// A WebP is held whole, so its frames times their pixels are capped: refused from the
// command line with a line saying so, before anything is rendered.
TEST_F(QprenderLimits, AWebpOverItsPixelBudgetIsRefused)
{
    const MeasuredRun run = RunMeasured({qprender, texture, "--frames", "874", "-o", "big.webp"});
    EXPECT_EQ(1, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.err, "a WebP of 874 frames of 640x480 is held whole until its end; at most 268435456"))
        << run.err;
    EXPECT_NE(0, access("big.webp", F_OK));
    for (const auto& frames : {std::make_pair("873", true), std::make_pair("874", false)}) {
        const char* argv[] = {"qprender", "t.qtex", "--frames", frames.first, "-o", "a.webp"};
        RenderOptions o;
        std::string error;
        EXPECT_EQ(frames.second, ParseRenderOptions(6, argv, o, error)) << frames.first << " frames: " << error;
    }
    const char* comparison[] = {"qprender", "t.qtex", "--against", "b.QP", "--frames", "292", "-o", "a.webp"};
    RenderOptions o;
    std::string error;
    EXPECT_FALSE(ParseRenderOptions(8, comparison, o, error)) << "292 frames of three 640x480 panels";
}

// One capture after ten minutes of effect time in 1 ms steps: the progress line counts
// the steps, on a terminal (a pseudo-terminal made by script(1)) and nowhere else.
TEST_F(QprenderLimits, ALongRunWithOneCaptureShowsItsStepsOnATerminal)
{
    const std::string command =
        Quote(qprender) + " " + Quote(texture) + " --time 600000 --step 1 --size 64x64 -o p.png";
    const ToolResult onTerminal = RunTool("script -qfec " + Quote(command) + " /dev/null");
    EXPECT_EQ(0, onTerminal.exitCode) << onTerminal.out << onTerminal.err;
    EXPECT_TRUE(Has(onTerminal.out, "/600000 steps, ")) << "on a terminal:\n" << onTerminal.out;
    const ToolResult toPipe = RunTool(command);
    EXPECT_EQ(0, toPipe.exitCode) << toPipe.err;
    EXPECT_EQ("", toPipe.err) << "standard error not a terminal";
}

// A texture that loads but whose mipmap chain is broken draws black: qprender says
// so in one warning line and still renders; a whole chain says nothing.
TEST_F(QprenderLimits, ABrokenMipmapChainIsNamed)
{
    const auto texture = [](std::vector<std::pair<uint8_t, uint8_t>> levels) {
        Bytes bytes = {'Q', 'T', 'E', 'X', 0, 1, 3, uint8_t(levels.size())};
        for (const auto& level : levels) {
            bytes.insert(bytes.end(), {level.first, 0, level.second, 0});
            bytes.insert(bytes.end(), size_t(level.first) * level.second * 3, 0x80);
        }
        return bytes;
    };
    WriteBytes("whole.qtex", texture({{2, 2}, {1, 1}}));
    WriteBytes("short.qtex", texture({{4, 4}, {2, 2}}));
    WriteBytes("odd.qtex", texture({{4, 4}, {3, 2}, {1, 1}}));
    const std::pair<std::string, std::string> cases[] = {
        {"whole.qtex", ""},
        {"short.qtex",
         "qprender: short.qtex: warning: its mipmap chain stops at 2 x 2, not 1 x 1; GL draws it black\n"},
        {"odd.qtex",
         "qprender: odd.qtex: warning: its mipmap chain is broken: level 1 is 3 x 2, not 2 x 2; GL draws it black\n"},
    };
    for (const auto& c : cases) {
        const MeasuredRun run = RunMeasured({qprender, c.first, "--size", "32x32", "-o", "x.png"});
        EXPECT_EQ(0, run.exitCode) << c.first << ": " << run.err;
        EXPECT_EQ(c.second, run.err) << c.first;
    }
}
