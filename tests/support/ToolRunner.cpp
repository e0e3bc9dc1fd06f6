#include "tests/support/ToolRunner.h"

#include <sys/wait.h>

#include <cstdlib>

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ToolResult RunTool(const std::string& commandLine, const std::string& prefix)
{
    ScratchFolder streams;
    const int status = system((prefix + " sh -c " + Quote(commandLine) + " >" + Quote(streams.Path("out")) + " 2>" +
                               Quote(streams.Path("err")) + " </dev/null")
                                  .c_str());
    const Bytes out = ReadBytes(streams.Path("out")), err = ReadBytes(streams.Path("err"));
    return ToolResult{(status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1,
                      std::string(out.begin(), out.end()), std::string(err.begin(), err.end())};
}

ToolResult RunProgram(const std::vector<std::string>& programAndArgs)
{
    std::string commandLine = "exec";
    for (const std::string& arg : programAndArgs)
        commandLine += " " + Quote(arg);
    return RunTool(commandLine);
}
