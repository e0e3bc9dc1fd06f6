#include "tests/qptool/ToolRunner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ToolResult RunTool(const std::string& commandLine, const std::string& prefix)
{
    ScratchDir streams;
    const int status = system((prefix + " sh -c " + Quote(commandLine) + " >" + Quote(streams.Path("out")) + " 2>" +
                               Quote(streams.Path("err")) + " </dev/null")
                                  .c_str());
    const std::vector<uint8_t> out = ReadBytes(streams.Path("out")), err = ReadBytes(streams.Path("err"));
    return ToolResult{(status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1,
                      std::string(out.begin(), out.end()), std::string(err.begin(), err.end())};
}

ScratchDir::ScratchDir()
{
    const char* base = getenv("TMPDIR");
    root = std::string(base && *base ? base : "/tmp") + "/qptest-XXXXXX";
    if (!mkdtemp(&root[0]))
        root.clear();
}

ScratchDir::~ScratchDir()
{
    if (!root.empty())
        (void)!system(("rm -rf " + Quote(root)).c_str());
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
