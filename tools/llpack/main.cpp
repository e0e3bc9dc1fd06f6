// llpack: creates, lists and extracts LLPACK archives, the named-entry archives the
// resource stream reads. Exit code 0 on success, 1 on any failure.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "math/LittleEndian.h"
#include "resources/QPackDirectory.h"
#include "tools/common/ToolFail.h"
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
    "the entries' data. Output files are written whole or not at all.\n";

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

// A name that is safe to write as a file in the extraction folder.
// An entry name as it is shown on a terminal: control bytes (which a damaged or hostile
// archive may hold, and which a terminal would act on) and the backslash as \xNN, every
// other byte as it is, so UTF-8 names read normally.
std::string Shown(const std::string& name)
{
    std::string shown;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || c == '\\') {
            char escaped[5];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += char(c);
        }
    }
    return shown;
}

bool IsPlainName(const std::string& name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

int Create(const std::string& archivePath, const std::vector<std::string>& inputs)
{
    if (inputs.empty()) {
        return Fail("create needs at least one file (see llpack --help)");
    }
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> contents;
    std::set<std::string> seen;
    size_t directoryBytes = 0;
    for (const std::string& input : inputs) {
        size_t equals = input.find('=');
        std::string name = equals == std::string::npos ? BaseName(input) : input.substr(0, equals);
        std::string path = equals == std::string::npos ? input : input.substr(equals + 1);
        if (!IsPlainName(name)) {
            return Fail(path + ": entry name \"" + name + "\" must be 1 to 255 bytes without '/'");
        }
        if (!seen.insert(name).second) {
            return Fail(path + ": a second entry named \"" + name + "\"; readers would only ever see the first");
        }
        std::vector<uint8_t> bytes;
        std::string error;
        if (!ReadFileWhole(path, bytes, error)) {
            return Fail(error);
        }
        names.push_back(name);
        contents.push_back(std::move(bytes));
        directoryBytes += 1 + name.size() + 8;
    }
    uint64_t offset = PACK_HEADER_SIZE + directoryBytes;
    std::vector<uint8_t> archive = {'L', 'L', 'P', 'A', 'C', 'K'};
    AppendLE32(archive, archiveVersion);
    AppendLE32(archive, uint32_t(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        if (offset + contents[i].size() > UINT32_MAX) {
            return Fail(archivePath + ": the archive would pass 4 GiB, beyond what its 32-bit offsets reach");
        }
        archive.push_back(uint8_t(names[i].size()));
        archive.insert(archive.end(), names[i].begin(), names[i].end());
        AppendLE32(archive, uint32_t(offset));
        AppendLE32(archive, uint32_t(contents[i].size()));
        offset += contents[i].size();
    }
    for (const std::vector<uint8_t>& bytes : contents) {
        archive.insert(archive.end(), bytes.begin(), bytes.end());
    }
    std::string error;
    if (!WriteFileWhole(archivePath, archive, error)) {
        return Fail(error);
    }
    return 0;
}

// Reads the directory through the resource stream's own reader, checking every field;
// problems name what is wrong. Entries read before a problem are kept.
bool ReadDirectory(const std::string& path, const std::vector<uint8_t>& bytes, uint32_t& version,
                   std::vector<Entry>& entries, std::vector<std::string>& problems)
{
    // The reader reads a stream: the bytes already in memory serve as one.
    FILE* stream = bytes.empty() ? nullptr : fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb");
    if (!bytes.empty() && !stream) {
        problems.push_back(path + ": no memory to read the directory");
        return false;
    }
    uint32_t count = 0;
    QPackHeaderResult header = stream ? ReadPackHeader(stream, version, count) : PACK_NOT_ARCHIVE;
    if (header == PACK_NOT_ARCHIVE) {
        problems.push_back(path + ": not an LLPACK archive (no \"LLPACK\" at its start)");
    } else if (header == PACK_HEADER_SHORT) {
        problems.push_back(path + ": header ends early");
    }
    for (uint32_t i = 0; header == PACK_HEADER_OK && i < count; ++i) {
        QPackEntry record;
        if (!ReadPackEntry(stream, record)) {
            problems.push_back(path + ": directory ends after " + std::to_string(i) + " of " + std::to_string(count) +
                               " entries");
            break;
        }
        Entry entry;
        entry.name = record.name;
        entry.offset = record.offset;
        entry.length = record.length;
        entry.fits = PackEntryFits(record, bytes.size());
        if (!entry.fits) {
            problems.push_back(path + ": entry \"" + Shown(entry.name) + "\" runs past the archive's end");
        }
        entries.push_back(entry);
    }
    if (stream) {
        fclose(stream);
    }
    return problems.empty();
}

// An archive read whole, with its directory as far as it could be read.
struct Archive {
    std::vector<uint8_t> bytes;
    uint32_t version = 0;
    std::vector<Entry> entries;
    std::vector<std::string> problems;
    bool good = false;  // the directory was read whole with no problem
};

// False (after printing why) when the file can't be read at all.
bool ReadArchive(const std::string& path, Archive& archive)
{
    std::string error;
    if (!ReadFileWhole(path, archive.bytes, error)) {
        Fail(error);
        return false;
    }
    archive.good = ReadDirectory(path, archive.bytes, archive.version, archive.entries, archive.problems);
    return true;
}

int List(const std::string& archivePath)
{
    Archive archive;
    if (!ReadArchive(archivePath, archive)) {
        return 1;
    }
    const std::vector<uint8_t>& bytes = archive.bytes;
    const uint32_t version = archive.version;
    const std::vector<Entry>& entries = archive.entries;
    const std::vector<std::string>& problems = archive.problems;
    const bool good = archive.good;
    if (bytes.size() >= PACK_HEADER_SIZE && memcmp(bytes.data(), "LLPACK", PACK_MAGIC_SIZE) == 0) {
        printf("%s: LLPACK version %u, %zu entries\n", archivePath.c_str(), version, entries.size());
    }
    for (const Entry& entry : entries) {
        printf("%10u %10u  %s\n", entry.offset, entry.length, Shown(entry.name).c_str());
    }
    for (const std::string& problem : problems) {
        fprintf(stderr, "llpack: %s\n", problem.c_str());
    }
    return good ? 0 : 1;
}

int Extract(const std::string& archivePath, const std::string& folder, const std::vector<std::string>& wanted)
{
    Archive archive;
    if (!ReadArchive(archivePath, archive)) {
        return 1;
    }
    const std::vector<uint8_t>& bytes = archive.bytes;
    const std::vector<Entry>& entries = archive.entries;
    const std::vector<std::string>& problems = archive.problems;
    if (entries.empty() && !problems.empty()) {
        return Fail(problems.front());
    }
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
            result =
                Fail(archivePath + ": entry \"" + Shown(entry.name) + "\" has a name that is not a plain file name");
            continue;
        }
        if (!entry.fits) {
            result = Fail(archivePath + ": entry \"" + Shown(entry.name) + "\" runs past the archive's end");
            continue;
        }
        std::string target = folder + "/" + entry.name;
        std::string error;
        if (!WriteFileWhole(target, bytes.data() + entry.offset, entry.length, error)) {
            result = Fail(error);
        }
    }
    for (const std::string& name : wanted) {
        if (done.count(name) == 0) {
            result = Fail(archivePath + ": no entry named \"" + name + "\"");
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
    return Fail("unknown command \"" + command + "\" (see llpack --help)");
}
