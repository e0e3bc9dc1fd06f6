// qptool against hostile inputs: standard input past the text cap (a real pipe, and
// /dev/zero), names that hold terminal escapes, and an output named as its own input.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "effect/EffectText.h"
#include "effect/EmitterSettings.h"
#include "tests/support/MeasuredRun.h"
#include "tests/support/ToolRunner.h"

namespace {

const std::string qptool = QPTOOL_PATH;
const size_t textCap = 1 << 20;        // what qptool reads of effect text, in bytes
const long memoryLimitKb = 64 * 1024;  // what a refusal may cost

// Writes `total` bytes of `fill` to the pipe, stopping when the reader has gone.
std::function<void(int)> PipeWriter(uint64_t total, char fill)
{
    return [total, fill](int fd) {
        std::string chunk(1 << 16, fill);
        for (uint64_t done = 0; done < total;) {
            size_t part = size_t(std::min<uint64_t>(chunk.size(), total - done));
            ssize_t wrote = write(fd, chunk.data(), part);
            if (wrote <= 0)
                return;
            done += uint64_t(wrote);
        }
    };
}

// Dump's text padded with `#` lines to exactly `size` bytes.
std::string PaddedText(size_t size)
{
    std::string text = FormatEffect(DefaultEmitterSettings());
    while (text.size() + 80 <= size)
        text += "#" + std::string(78, '-') + "\n";
    text += "#" + std::string(size - text.size() - 2, '-') + "\n";
    return text;
}

void ExpectRefusedSmall(const MeasuredRun& run, const std::string& text, const std::string& context)
{
    EXPECT_EQ(1, run.exitCode) << context << "\n" << run.err;
    EXPECT_TRUE(Has(run.err, text)) << context << ": wanted \"" << text << "\" in\n" << run.err;
    EXPECT_GT(memoryLimitKb, run.peakKb) << context << " peak kilobytes";
}

}  // namespace

// A gigabyte piped in and an endless /dev/zero stop at the cap, with a line saying so,
// in little memory, and no file is made; text of exactly the cap still reads.
TEST(QptoolLimits, StandardInputStopsAtTheTextCap)
{
    ScratchFolder dir;
    const std::string out = dir.Path("out.QP");
    MeasuredInput gigabyte;
    gigabyte.writer = PipeWriter(uint64_t(1) << 30, '#');
    ExpectRefusedSmall(RunMeasured({qptool, "new", "--from", "-", out}, gigabyte),
                       "qptool: standard input: more than 1048576 bytes is too long for effect text", "1 GiB pipe");
    MeasuredInput zeros;
    zeros.file = "/dev/zero";
    ExpectRefusedSmall(RunMeasured({qptool, "new", "--from", "-", out}, zeros),
                       "qptool: standard input: more than 1048576 bytes", "/dev/zero");
    EXPECT_NE(0, access(out.c_str(), F_OK)) << out << " was made from a refused input";

    const std::string fits = PaddedText(textCap), over = PaddedText(textCap + 1);
    ASSERT_EQ(textCap, fits.size());
    MeasuredInput exact;
    exact.writer = [&fits](int fd) { (void)!write(fd, fits.data(), fits.size()); };
    MeasuredRun run = RunMeasured({qptool, "new", "--from", "-", out}, exact);
    EXPECT_EQ(0, run.exitCode) << "text of exactly the cap: " << run.err;
    MeasuredInput past;
    past.writer = [&over](int fd) { (void)!write(fd, over.data(), over.size()); };
    ExpectRefusedSmall(RunMeasured({qptool, "new", "--force", "--from", "-", out}, past), "more than 1048576 bytes",
                       "one byte past the cap");
}

// Every message naming a file or a value shows control bytes and `\` as \xNN.
TEST(QptoolLimits, NamesInMessagesAreEscaped)
{
    ScratchFolder dir;
    const std::string evil = dir.Path("evil\x1b]0;T\a.QP");
    const std::string shown = dir.root + "/evil\\x1b]0;T\\x07.QP";
    {
        std::ofstream(evil, std::ios::binary) << "QP";  // too short to be an effect
    }
    const std::vector<std::vector<std::string>> commands = {
        {qptool, "dump", evil},
        {qptool, "set", evil, "size=2"},
        {qptool, "diff", evil, evil},
        {qptool, "cost", evil},
        {qptool, "new", evil},
        {qptool, "new", "--force", "--from", evil + ".txt", dir.Path("x.QP")},
        {qptool, "new", "--preset", "no\x1b[2J", dir.Path("x.QP")},
        {qptool, "bad\x1b[2Jcommand"},
    };
    for (const auto& command : commands) {
        const ToolResult run = RunProgram(command);
        const std::string context = command[1] + " " + command[2 % command.size()];
        EXPECT_EQ(std::string::npos, run.err.find('\x1b')) << context << " printed a raw escape:\n" << run.err;
        EXPECT_EQ(std::string::npos, run.err.find('\a')) << context << " printed a raw bell:\n" << run.err;
        EXPECT_TRUE(Has(run.err, "\\x1b")) << context << " shows no escaped name:\n" << run.err;
    }
    EXPECT_TRUE(Has(RunProgram({qptool, "dump", evil}).err, "qptool: " + shown + ": "))
        << "dump names the file as " << shown;
}

// `new --force --from TEXT FILE` where FILE is TEXT, by a hard or symbolic link, would
// replace the text it reads: refused, and the text stays.
TEST(QptoolLimits, NewRefusesToWriteOverItsOwnText)
{
    ScratchFolder dir;
    const std::string text = dir.Path("fire.txt"), hard = dir.Path("hard.QP"), soft = dir.Path("soft.QP");
    const std::string content = FormatEffect(DefaultEmitterSettings());
    std::ofstream(text, std::ios::binary) << content;
    ASSERT_EQ(0, link(text.c_str(), hard.c_str()));
    ASSERT_EQ(0, symlink(text.c_str(), soft.c_str()));
    for (const std::string& output : {text, hard, soft}) {
        const ToolResult run = RunProgram({qptool, "new", "--force", "--from", text, output});
        EXPECT_EQ(1, run.exitCode) << output << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, "is the same file as the text")) << output << ":\n" << run.err;
        Bytes kept = ReadBytes(text);
        EXPECT_EQ(content, std::string(kept.begin(), kept.end())) << "the text after new --from it to " << output;
    }
}
