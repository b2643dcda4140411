#pragma once
// A shell command's standard output and exit status, for the tests that run
// the add-on's tools and the independent programs they are checked against.
#include <cstdio>
#include <string>

namespace kl::test {

struct CommandRun {
    int status = -1;  // as pclose gives it; -1 when the command could not start
    std::string out;
};

inline CommandRun runCommand(const std::string& command) {
    CommandRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
    r.status = ::pclose(pipe);
    return r;
}

}  // namespace kl::test
