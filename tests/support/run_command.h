// Runs a command line through the shell for the tests of the wux command, and collects
// what it prints and how it exits.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace wuxtest {

struct CommandRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

inline CommandRun RunCommand(const std::string& commandLine) {
    CommandRun run;
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// text as one word for the shell.
inline std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace wuxtest
