#pragma once
// Runs a piece of a test in a forked child: for limits, users and signals that must not
// touch the test process itself.

#include <functional>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

// Runs `body` in a forked child and hands back the text it returned ("crashed" when
// the child didn't exit normally).
inline std::string InChild(const std::function<std::string()>& body)
{
    int ends[2];
    if (pipe(ends) != 0)
        return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        std::string text = body();
        _exit(write(ends[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = read(ends[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, size_t(n));
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "crashed";
}
