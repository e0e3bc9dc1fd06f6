#include "tests/resources/TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

void PutU16(Bytes& bytes, uint32_t value)
{
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

void PutU32(Bytes& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(uint8_t(value >> (8 * i)));
    }
}

void PutText(Bytes& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& entries)
{
    uint32_t offset = 14;
    for (const auto& entry : entries) {
        offset += uint32_t(1 + entry.first.size() + 8);
    }
    std::vector<RawEntry> directory;
    Bytes data;
    for (const auto& entry : entries) {
        directory.push_back({entry.first, offset + uint32_t(data.size()), uint32_t(entry.second.size())});
        data.insert(data.end(), entry.second.begin(), entry.second.end());
    }
    return MakeRawArchive(uint32_t(entries.size()), directory, data);
}

Bytes MakeRawArchive(uint32_t count, const std::vector<RawEntry>& entries, const Bytes& tail)
{
    Bytes bytes;
    PutText(bytes, "LLPACK");
    PutU32(bytes, 1);
    PutU32(bytes, count);
    for (const RawEntry& entry : entries) {
        bytes.push_back(uint8_t(entry.name.size()));
        PutText(bytes, entry.name);
        PutU32(bytes, entry.offset);
        PutU32(bytes, entry.length);
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

Bytes Pattern(size_t size, uint32_t seed)
{
    Bytes bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = uint8_t(state >> 16);
    }
    return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr || (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())) {
        throw std::runtime_error("cannot write " + path);
    }
    fclose(file);
}

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qpres-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder");
    }
    path = pattern;
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

ScratchFolder::~ScratchFolder()
{
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
