#pragma once
// A private folder under $TMPDIR (or /tmp) for one test, removed with its content at the
// end, and the whole-file reads and writes the tests compare with.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ScratchFolder {
    ScratchFolder()
    {
        const char* base = std::getenv("TMPDIR");
        root = std::string(base && *base ? base : "/tmp") + "/qptest-XXXXXX";
        if (!mkdtemp(&root[0]))
            root = "/nonexistent";
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return root + "/" + name; }
    long Count() const  // entries in the folder
    {
        return long(std::distance(std::filesystem::directory_iterator(root), {}));
    }

    std::string root;
};

inline Bytes ReadBytes(const std::string& path)  // empty when unreadable
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
