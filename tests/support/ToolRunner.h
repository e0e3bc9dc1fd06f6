#pragma once
// Runs a program of the project as a user does, through the shell, and hands back its
// exit code and what it printed on each stream.

#include <string>
#include <vector>

#include "tests/support/ScratchFolder.h"

struct ToolResult {
    int exitCode;  // -1 when the process didn't exit normally
    std::string out, err;
};

// Runs `commandLine` with /bin/sh behind `prefix` ("env -u DISPLAY", "cd DIR &&"), with
// no standard input, in the working directory.
ToolResult RunTool(const std::string& commandLine, const std::string& prefix = "");
// Runs the program with the arguments given, each passed as it is (quoted for the shell).
ToolResult RunProgram(const std::vector<std::string>& programAndArgs);

std::string Quote(const std::string& text);  // single-quoted for the shell
inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
