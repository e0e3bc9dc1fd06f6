#pragma once
// What the asset tools share about their inputs and outputs beyond whole-file reads and
// writes: names in messages shown through EscapedName (so a name can't talk to the
// terminal), inputs opened with their size known before any byte is read (so a reader
// can check a header, or the size a header promises, first), and an output refused when
// it is one of the inputs. Nothing here prints; problems come back as one line
// "<shown name>: <problem>" for the tool to print after its own name.

#include <cstddef>
#include <cstdint>
#include <string>

// `path` as messages show it: control bytes, backslashes and bytes that are not UTF-8
// as \xNN.
std::string ShownName(const std::string& path);

// `error` (a line of the whole-file or PNG helpers, which start it with the raw name
// and ": ") with that name shown through ShownName instead; other lines as they are.
std::string ShownError(const std::string& path, const std::string& error);

// True when `output` names the same file as `input` (the same device and inode, through
// hard and symbolic links); `error` then says so, naming both.
bool OutputIsInput(const std::string& output, const std::string& input, std::string& error);

// Opens the regular file `path` for reading without blocking on a FIFO and gives its
// size in bytes. -1 with `error` set when it can't be opened or is not a regular file.
int OpenInput(const std::string& path, uint64_t& size, std::string& error);

// Reads `count` bytes at `offset` of the open file into `destination`, however many
// reads it takes. False with `error` (naming `path`) when a read fails or the file ends
// first.
bool ReadInputAt(int fd, const std::string& path, uint64_t offset, void* destination, size_t count, std::string& error);
