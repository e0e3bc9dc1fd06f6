// llpack: creates, lists and extracts LLPACK archives, the named-entry archives the
// resource stream reads. Exit code 0 on success, 1 on any failure.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "math/LittleEndian.h"
#include "resources/QPackDirectory.h"
#include "tools/common/ToolFail.h"
#include "tools/common/ToolInput.h"
#include "tools/common/ToolVersion.h"
#include "tools/common/WholeFile.h"

namespace {
// The 4 bytes after the magic hold this format version (little-endian). Readers skip
// them; llpack writes 1 and reads archives of any version.
const uint32_t archiveVersion = 1;

const char usage[] =
    "usage: llpack create ARCHIVE [NAME=]FILE...\n"
    "       llpack list ARCHIVE\n"
    "       llpack extract ARCHIVE [-C FOLDER] [NAME...]\n"
    "\n"
    "  create   packs the files; each entry is named NAME when given, else the file's\n"
    "           name without its folders. Names are 1 to 255 bytes, without '/', and\n"
    "           unique (case matters, as it does for readers).\n"
    "  list     prints each entry's name, offset and length, and what is wrong with a\n"
    "           damaged archive\n"
    "  extract  writes the named entries (all when none is named) into FOLDER\n"
    "           (default: the current folder), each file under its entry name\n"
    "  --help   shows this text\n"
    "  --version  prints the version\n"
    "\n"
    "Layout (little-endian): \"LLPACK\" (6 bytes), format version (4 bytes, 1 for\n"
    "archives this tool writes; readers skip it), entry count (4), then per entry: name\n"
    "length (1), name, data offset (4, from the file's start), data length (4); then\n"
    "the entries' data. Output files are written whole or not at all.\n"
    "\n"
    "Limits: an archive is read by its directory, at most 65536 entries, and its\n"
    "entries one at a time by offset and length; create sums its inputs' sizes before\n"
    "reading any and refuses more than the 4 GiB the offsets reach (the archive is\n"
    "built in memory). extract refuses entry names with control characters, and an\n"
    "output that is an input (the archive itself) is refused.\n";

// What llpack holds in memory, stated in --help: at most this many directory records
// (a damaged count can promise four billion), and one entry's data at a time.
const uint32_t maxEntries = 65536;

struct Entry {
    std::string name;
    uint32_t offset = 0;
    uint32_t length = 0;
    bool fits = false;  // the data lies within the archive
};

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An entry name as a message shows it: in quotes, through the one escaping every
// message uses, so a terminal never acts on bytes a damaged or hostile archive holds.
std::string Quoted(const std::string& name)
{
    return "\"" + ShownName(name) + "\"";
}

// A name that is safe to write as a file in the extraction folder.
bool IsPlainName(const std::string& name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// True when the name holds a byte a terminal acts on: the C0 controls, DEL, or a C1
// control as UTF-8 (0xc2 0x80 to 0xc2 0x9f). Such a name would reach every listing of
// the folder it is written to, so extract refuses it.
bool HasControlBytes(const std::string& name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7f ||
            (c == 0xc2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xa0 &&
             static_cast<unsigned char>(name[i + 1]) >= 0x80)) {
            return true;
        }
    }
    return false;
}

// Appends the whole regular file `path` to `archive`; it was `size` bytes when the
// sizes were summed, and must still be.
bool AppendInput(const std::string& path, uint64_t size, std::vector<uint8_t>& archive, std::string& error)
{
    uint64_t now = 0;
    int fd = OpenInput(path, now, error);
    if (fd < 0) {
        return false;
    }
    size_t at = archive.size();
    archive.resize(at + size_t(size));
    bool read = ReadInputAt(fd, path, 0, archive.data() + at, size_t(size), error);
    close(fd);
    if (read && now != size) {
        error = ShownName(path) + ": changed size while the archive was made";
        read = false;
    }
    return read;
}

int Create(const std::string& archivePath, const std::vector<std::string>& inputs)
{
    if (inputs.empty()) {
        return Fail("create needs at least one file (see llpack --help)");
    }
    std::vector<std::string> names;
    std::vector<std::string> paths;
    std::vector<uint64_t> sizes;
    std::set<std::string> seen;
    size_t directoryBytes = 0;
    uint64_t dataBytes = 0;
    // Every input is checked, and its size summed, before any is read: the archive's
    // 32-bit offsets reach 4 GiB, and a larger input is refused without reading it.
    for (const std::string& input : inputs) {
        size_t equals = input.find('=');
        std::string name = equals == std::string::npos ? BaseName(input) : input.substr(0, equals);
        std::string path = equals == std::string::npos ? input : input.substr(equals + 1);
        if (!IsPlainName(name)) {
            return Fail(ShownName(path) + ": entry name " + Quoted(name) + " must be 1 to 255 bytes without '/'");
        }
        if (!seen.insert(name).second) {
            return Fail(ShownName(path) + ": a second entry named " + Quoted(name) +
                        "; readers would only ever see the first");
        }
        std::string error;
        uint64_t size = 0;
        int fd = OpenInput(path, size, error);
        if (fd < 0) {
            return Fail(error);
        }
        close(fd);
        if (OutputIsInput(archivePath, path, error)) {
            return Fail(error);
        }
        names.push_back(name);
        paths.push_back(path);
        sizes.push_back(size);
        directoryBytes += 1 + name.size() + 8;
        dataBytes += size;
    }
    if (PACK_HEADER_SIZE + directoryBytes + dataBytes > UINT32_MAX) {
        return Fail(ShownName(archivePath) + ": the archive would pass 4 GiB, beyond what its 32-bit offsets reach");
    }
    uint64_t offset = PACK_HEADER_SIZE + directoryBytes;
    std::vector<uint8_t> archive = {'L', 'L', 'P', 'A', 'C', 'K'};
    AppendLE32(archive, archiveVersion);
    AppendLE32(archive, uint32_t(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        archive.push_back(uint8_t(names[i].size()));
        archive.insert(archive.end(), names[i].begin(), names[i].end());
        AppendLE32(archive, uint32_t(offset));
        AppendLE32(archive, uint32_t(sizes[i]));
        offset += sizes[i];
    }
    std::string error;
    archive.reserve(size_t(offset));
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!AppendInput(paths[i], sizes[i], archive, error)) {
            return Fail(error);
        }
    }
    if (!WriteFileWhole(archivePath, archive, error)) {
        return Fail(ShownError(archivePath, error));
    }
    return 0;
}

// An archive's directory as far as it could be read, over the open archive file: the
// entries' data stay in the file and are read one at a time, by offset and length.
struct Archive {
    FILE* file = nullptr;
    uint64_t size = 0;  // bytes of the archive file
    uint32_t version = 0;
    bool headed = false;  // the 14-byte header is there
    std::vector<Entry> entries;
    std::vector<std::string> problems;
    bool good = false;  // the directory was read whole with no problem

    Archive() = default;
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    ~Archive()
    {
        if (file != nullptr) {
            fclose(file);
        }
    }
};

// Reads the directory through the resource stream's own reader, checking every field;
// problems name what is wrong. Entries read before a problem are kept.
void ReadDirectory(const std::string& path, Archive& archive)
{
    const std::string shown = ShownName(path);
    uint32_t count = 0;
    QPackHeaderResult header = ReadPackHeader(archive.file, archive.version, count);
    archive.headed = header == PACK_HEADER_OK;
    if (header == PACK_NOT_ARCHIVE) {
        archive.problems.push_back(shown + ": not an LLPACK archive (no \"LLPACK\" at its start)");
    } else if (header == PACK_HEADER_SHORT) {
        archive.problems.push_back(shown + ": header ends early");
    }
    for (uint32_t i = 0; archive.headed && i < count; ++i) {
        QPackEntry record;
        if (i == maxEntries) {
            archive.problems.push_back(shown + ": directory holds " + std::to_string(count) +
                                       " entries; llpack reads at most " + std::to_string(maxEntries));
            break;
        }
        if (!ReadPackEntry(archive.file, record)) {
            archive.problems.push_back(shown + ": directory ends after " + std::to_string(i) + " of " +
                                       std::to_string(count) + " entries");
            break;
        }
        Entry entry;
        entry.name = record.name;
        entry.offset = record.offset;
        entry.length = record.length;
        entry.fits = PackEntryFits(record, archive.size);
        if (!entry.fits) {
            archive.problems.push_back(shown + ": entry " + Quoted(entry.name) + " runs past the archive's end");
        }
        archive.entries.push_back(entry);
    }
    archive.good = archive.problems.empty();
}

// False (after printing why) when the file can't be read at all.
bool ReadArchive(const std::string& path, Archive& archive)
{
    std::string error;
    int fd = OpenInput(path, archive.size, error);
    archive.file = fd < 0 ? nullptr : fdopen(fd, "rb");
    if (fd >= 0 && archive.file == nullptr) {
        error = ShownName(path) + ": " + strerror(errno);
        close(fd);
    }
    if (archive.file == nullptr) {
        Fail(error);
        return false;
    }
    ReadDirectory(path, archive);
    return true;
}

int List(const std::string& archivePath)
{
    Archive archive;
    if (!ReadArchive(archivePath, archive)) {
        return 1;
    }
    if (archive.headed) {
        printf("%s: LLPACK version %u, %zu entries\n", ShownName(archivePath).c_str(), archive.version,
               archive.entries.size());
    }
    for (const Entry& entry : archive.entries) {
        printf("%10u %10u  %s\n", entry.offset, entry.length, ShownName(entry.name).c_str());
    }
    for (const std::string& problem : archive.problems) {
        fprintf(stderr, "llpack: %s\n", problem.c_str());
    }
    return archive.good ? 0 : 1;
}

// Writes one entry's data, read from the archive by its offset and length, to `target`.
bool ExtractEntry(const std::string& archivePath, const Archive& archive, const Entry& entry, const std::string& target,
                  std::string& error)
{
    if (OutputIsInput(target, archivePath, error)) {
        return false;
    }
    std::vector<uint8_t> data;
    try {
        data.resize(entry.length);
    } catch (const std::bad_alloc&) {
        error = ShownName(archivePath) + ": entry " + Quoted(entry.name) + " is too large for the memory available";
        return false;
    }
    if (!ReadInputAt(fileno(archive.file), archivePath, entry.offset, data.data(), data.size(), error)) {
        return false;
    }
    if (!WriteFileWhole(target, data, error)) {
        error = ShownError(target, error);
        return false;
    }
    return true;
}

int Extract(const std::string& archivePath, const std::string& folder, const std::vector<std::string>& wanted)
{
    Archive archive;
    if (!ReadArchive(archivePath, archive)) {
        return 1;
    }
    const std::vector<Entry>& entries = archive.entries;
    const std::vector<std::string>& problems = archive.problems;
    if (entries.empty() && !problems.empty()) {
        return Fail(problems.front());
    }
    const std::string shown = ShownName(archivePath);
    int result = 0;
    std::set<std::string> done;
    for (const Entry& entry : entries) {
        bool named = wanted.empty();
        for (const std::string& name : wanted) {
            named = named || name == entry.name;
        }
        // Like the readers, the first entry of a name wins.
        if (!named || !done.insert(entry.name).second) {
            continue;
        }
        if (!IsPlainName(entry.name)) {
            result = Fail(shown + ": entry " + Quoted(entry.name) + " has a name that is not a plain file name");
            continue;
        }
        if (HasControlBytes(entry.name)) {
            result = Fail(shown + ": entry " + Quoted(entry.name) +
                          " has control characters in its name; it is not written");
            continue;
        }
        if (!entry.fits) {
            result = Fail(shown + ": entry " + Quoted(entry.name) + " runs past the archive's end");
            continue;
        }
        std::string error;
        if (!ExtractEntry(archivePath, archive, entry, folder + "/" + entry.name, error)) {
            result = Fail(error);
        }
    }
    for (const std::string& name : wanted) {
        if (done.count(name) == 0) {
            result = Fail(shown + ": no entry named " + Quoted(name));
        }
    }
    if (problems.size() > 0 && result == 0) {
        result = Fail(problems.front());
    }
    return result;
}
}  // namespace

int main(int argc, char** argv)
{
    SetToolName("llpack");
    if (PrintVersionIfAsked(argc, argv, "llpack"))
        return 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        fputs(usage, stdout);
        return 0;
    }
    if (args.size() < 2) {
        fputs(usage, stderr);
        return 1;
    }
    const std::string& command = args[0];
    const std::string& archive = args[1];
    std::vector<std::string> rest(args.begin() + 2, args.end());
    if (command == "create") {
        return Create(archive, rest);
    }
    if (command == "list") {
        if (!rest.empty()) {
            return Fail("list takes one archive (see llpack --help)");
        }
        return List(archive);
    }
    if (command == "extract") {
        std::string folder = ".";
        if (rest.size() >= 2 && rest[0] == "-C") {
            folder = rest[1];
            rest.erase(rest.begin(), rest.begin() + 2);
        }
        return Extract(archive, folder, rest);
    }
    return Fail("unknown command \"" + ShownName(command) + "\" (see llpack --help)");
}
