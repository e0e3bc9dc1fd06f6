#pragma once
// Replacing a file whole, under one rule set for every writer of the project:
// - the bytes go to a new temporary file in the target's folder, flushed to disk, then
//   renamed over the target, so a reader sees the old file or the new one, never a mix;
// - a symbolic link stays a link: the file it points to is replaced (a relative link
//   target resolves against the link's folder; a dangling link's target is created);
// - a target that exists but is not a regular file (FIFO, device, folder), or that the
//   user may not write, is refused: nothing is opened, created or changed;
// - a target with several hard links is written in place, so all its names keep seeing
//   one file: its size and the room on disk are checked first, then one write, a cut to
//   the new length and a flush;
// - the target's permission bits (and, where allowed, owner) are kept; a new file gets
//   0666 less the umask, as a plain create would;
// - the temporary file never outlives the program (files/TemporaryFile.h), and a write
//   past the file-size limit fails with "File too large" instead of killing it.

#include <cstddef>
#include <string>

// Makes the file `path` hold exactly the `size` bytes at `data`. True when every byte
// is written and flushed to disk. False with a short reason in `problem` ("not a regular
// file", the system's words for errno) when the target is refused or anything fails;
// then the target is as it was and no temporary file is left behind. (A write in
// place checks the size limit and reserves the room first; only an I/O error after
// that can leave the file part old, part new.)
bool ReplaceFileWhole(const char* path, const void* data, size_t size, std::string& problem);

// The same, but an existing target is first kept as a backup under the first free
// name of `path`.bak, `path`.bak.1, `path`.bak.2, ... (never over an existing file): a
// second link to it where the file system allows (no copy, holes kept), else a copy.
// `kept` receives the backup's name, or "" when there was no file to keep. False when
// the target is refused (then no backup is made), the backup can't be made (then
// nothing is written) or the write fails (then the target and its backup are both the
// old file).
bool ReplaceFileKeepingOld(const char* path, const void* data, size_t size, std::string& kept, std::string& problem);

// The name ReplaceFileKeepingOld would give a backup of `path` now: the first of
// `path`.bak, `path`.bak.1, ... that names nothing ("" when all are taken).
std::string FreeBackupName(const char* path);
