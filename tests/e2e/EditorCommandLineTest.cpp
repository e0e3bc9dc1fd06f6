// The editor's command line as a user types it: --help and --version answer on
// standard output without a window (no display needed), and every other first
// argument is still a texture name.

#include <gtest/gtest.h>

#include "tests/support/ToolRunner.h"

namespace {

const std::string qpedit = QPEDIT_PATH;

}  // namespace

TEST(EditorCommandLine, HelpNamesTheUsageTheKeysAndTheFont)
{
    const ToolResult help = RunTool(Quote(qpedit) + " --help", "env -u DISPLAY");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_EQ("", help.err);
    EXPECT_EQ(0u, help.out.find("usage: qpedit TEXTURE [EFFECT]\n")) << help.out;
    for (const char* part : {"Font.QF, is read from the working directory", "Out.QP", "M opens the main menu",
                             "T lifetime (ms)", "Esc cancels"})
        EXPECT_TRUE(Has(help.out, part)) << part << " missing from:\n" << help.out;
}

TEST(EditorCommandLine, VersionIsTheProjects)
{
    const ToolResult version = RunTool(Quote(qpedit) + " --version", "env -u DISPLAY");
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ("", version.err);
    EXPECT_EQ(std::string("qpedit (qpedit) ") + QP_VERSION + "\n", version.out);
}

TEST(EditorCommandLine, AnyOtherArgumentIsStillATexture)
{
    for (const char* argument : {"--bogus", "-h", "--HELP", "--version2"}) {
        const ToolResult run = RunTool(Quote(qpedit) + " " + Quote(argument));
        EXPECT_EQ(1, run.exitCode) << argument;
        EXPECT_EQ(std::string("Couldn't load texture ") + argument + "\n", run.out) << argument;
    }
    const ToolResult none = RunTool(Quote(qpedit));
    EXPECT_EQ(1, none.exitCode);
    EXPECT_EQ("Not enought arguments. Must at least specify texture.\n", none.out);
}
