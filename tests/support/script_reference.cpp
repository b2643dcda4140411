#include "tests/support/script_reference.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "tests/support/command_output.h"

namespace kl::test {

std::string runScriptReference(const std::string& command, const std::string& input) {
    char path[] = "/tmp/kl_reference_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    std::ofstream(path) << input;
    std::string answer = runCommand(command + " " + std::string(path)).out;
    std::remove(path);
    return answer;
}

}  // namespace kl::test
