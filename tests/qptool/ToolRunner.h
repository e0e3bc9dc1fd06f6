#pragma once
// Runs a tool of the project as a user does, through the shell, and hands back its
// exit code and output; plus a scratch folder and whole-file helpers for tool tests.

#include <cstdint>
#include <string>
#include <vector>

struct ToolResult {
    int exitCode;     // -1 when the process didn't exit normally
    std::string out;  // stdout
    std::string err;  // stderr
};

// Runs `commandLine` with /bin/sh behind `prefix` ("env -u DISPLAY", "cd DIR &&").
ToolResult RunTool(const std::string& commandLine, const std::string& prefix = "");
std::string Quote(const std::string& text);  // single-quoted for the shell

// A fresh folder under /tmp (or $TMPDIR), removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string Path(const std::string& name) const { return root + "/" + name; }
    const std::string root;
};

std::vector<uint8_t> ReadBytes(const std::string& path);  // empty when unreadable
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
