#pragma once
// The file a write goes to before it takes a file's place. It is an unnamed file in
// the destination's folder where the file system allows it (O_TMPFILE), given a name
// only once it is complete, so a killed program leaves nothing behind. Elsewhere it
// is a hidden `.qpsave-PID-N.tmp` that a terminating SIGINT, SIGTERM or SIGHUP
// removes; one left by a program killed outright (its PID gone) is removed the next
// time the folder is written. Every program that writes through the file library
// ignores SIGXFSZ, so a write past the file-size limit fails ("File too large")
// instead of killing it.

#include <functional>
#include <string>

// Ignores SIGXFSZ (unless the program handles it itself) and installs, once, the
// handlers that remove a named temporary when a signal ends the program (each chains
// to the handler it found, and a signal that was ignored stays ignored). Every write of
// the file library does this first; a program may call it at start so that writes of
// its own fail instead of killing it too.
void PrepareForFileWrites();

// Turns unnamed temporaries off (false) or on again for this process: false gives the
// path that file systems without O_TMPFILE take.
void UseUnnamedTemporaries(bool use);

class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();  // discards a temporary that never got its place
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Opens a new temporary for reading and writing in `folder` ("" for the working folder, else
    // ending in '/'), 0666 less the umask. False with the reason in `problem`.
    bool Create(const std::string& folder, std::string& problem);

    int Fd() const { return fd; }

    // Closes the complete file and renames it over `target`. False with the reason in
    // `problem`; then nothing is left of the temporary.
    bool RenameOver(const std::string& target, std::string& problem);

    // Gives the complete file the name `finalName`, which must not exist yet, and
    // closes it: it is no longer a temporary. False with the reason in `problem` and
    // errno in `error` (EEXIST: the name is taken, and the temporary stays for another).
    bool Keep(const std::string& finalName, int& error, std::string& problem);

    // Closes and removes what there is.
    void Discard();

private:
    bool Close(std::string& problem);
    bool LinkTo(const std::string& newName);
    bool Name(std::string& problem);
    // Tries `claim` on .qpsave-PID-N.tmp for N = 0, 1, ... while it fails with EEXIST;
    // the name it takes becomes this temporary's, listed for the signal handlers.
    bool TakeHiddenName(const std::function<bool(const std::string&)>& claim, std::string& problem);

    int fd = -1;
    std::string folder;  // where it lives, "" or ending in '/'
    std::string name;    // its current name, "" while unnamed
    int slot = -1;       // its place in the list the signal handlers clear, or -1
};
