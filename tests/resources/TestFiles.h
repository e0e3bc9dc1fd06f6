#pragma once
// Byte-by-byte builders of resource files for the resource tests, and a scratch folder
// that each test works in (it becomes the working directory, so loose names resolve).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& bytes, uint32_t value);
void PutU32(Bytes& bytes, uint32_t value);
void PutText(Bytes& bytes, const std::string& text);

// An archive with the entries' data after the directory, in order.
Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& entries);
// The same but with explicit directory fields (name, offset, length) and a data blob
// placed right after the directory; offsets are taken as given.
struct RawEntry {
    std::string name;
    uint32_t offset;
    uint32_t length;
};
Bytes MakeRawArchive(uint32_t count, const std::vector<RawEntry>& entries, const Bytes& tail);

Bytes Pattern(size_t size, uint32_t seed);  // deterministic, position-dependent bytes

void WriteFile(const std::string& path, const Bytes& bytes);

// Creates a fresh folder and makes it the working directory for the object's life.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::string previous;
};
