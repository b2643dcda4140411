#pragma once
// An independent reference written as a script: the input goes to a
// temporary file named on its command line, the answer comes from its
// standard output.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/command_output.h"

namespace kl::test {

// command: the interpreter and the script, e.g. "python3 /path/x.py". Empty
// when the script could not be run.
inline std::string runScriptReference(const std::string& command, const std::string& input) {
    char path[] = "/tmp/kl_reference_XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return {};
    ::close(fd);
    std::ofstream(path) << input;
    std::string answer = runCommand(command + " " + std::string(path)).out;
    std::remove(path);
    return answer;
}

}  // namespace kl::test
