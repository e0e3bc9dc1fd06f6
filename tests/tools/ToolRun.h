#pragma once
// Runs one of the asset tools as a child process and captures what it printed.

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args);
std::vector<std::string> FilesIn(const std::string& folder);  // names, sorted
