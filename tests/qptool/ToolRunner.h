#pragma once
// Runs a tool of the project as a user does, through the shell, and hands back its
// exit code and output; plus a scratch folder and whole-file helpers for tool tests.

#include <cstdint>
#include <string>
#include <vector>

struct ToolResult {
    int exitCode;  // -1 when the process didn't exit normally
    std::string out, err;
};

// Runs `commandLine` with /bin/sh behind `prefix` ("env -u DISPLAY", "cd DIR &&").
ToolResult RunTool(const std::string& commandLine, const std::string& prefix = "");
std::string Quote(const std::string& text);  // single-quoted for the shell
inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A fresh folder under $TMPDIR or /tmp, removed with its contents at the end.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    std::string Path(const std::string& name) const { return root + "/" + name; }
    std::string root;
};

std::vector<uint8_t> ReadBytes(const std::string& path);  // empty when unreadable
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
