#pragma once
// Runs a program of the project as its own process (no shell) and reports what the
// kernel measured for it alone: exit code, peak resident memory and standard error.
// Standard input comes from a file, or from a pipe that a second child fills.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/ScratchFolder.h"

struct MeasuredRun {
    int exitCode = -1;  // -1 when the process didn't exit normally
    long peakKb = 0;    // the largest resident set the process had, in KiB
    std::string err;
};

struct MeasuredInput {
    std::string file = "/dev/null";      // standard input, when `writer` is empty
    std::function<void(int fd)> writer;  // fills a pipe in a child of its own
};

inline MeasuredRun RunMeasured(const std::vector<std::string>& args, const MeasuredInput& input = {})
{
    MeasuredRun run;
    ScratchFolder streams;
    const std::string errPath = streams.Path("err");
    int pipeEnds[2] = {-1, -1};
    pid_t writer = -1;
    if (input.writer && pipe(pipeEnds) == 0) {
        writer = fork();
        if (writer == 0) {
            signal(SIGPIPE, SIG_DFL);
            close(pipeEnds[0]);
            input.writer(pipeEnds[1]);
            _exit(0);
        }
        close(pipeEnds[1]);
    }
    pid_t child = fork();
    if (child == 0) {
        int in = input.writer ? pipeEnds[0] : open(input.file.c_str(), O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pipeEnds[0] >= 0)
        close(pipeEnds[0]);
    int status = 0;
    struct rusage usage {};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKb = usage.ru_maxrss;
    }
    if (writer > 0) {
        kill(writer, SIGKILL);  // a writer the program stopped reading from is done either way
        waitpid(writer, nullptr, 0);
    }
    std::ifstream err(errPath, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}
