#include "tests/support/script_reference.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace kl::test {

std::string runScriptReference(const std::string& command, const std::string& input) {
    char path[] = "/tmp/kl_reference_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    std::ofstream(path) << input;
    std::string answer;
    if (FILE* pipe = popen((command + " " + std::string(path)).c_str(), "r")) {
        char buf[4096];
        std::size_t got = 0;
        while ((got = std::fread(buf, 1, sizeof buf, pipe)) > 0) answer.append(buf, got);
        pclose(pipe);
    }
    std::remove(path);
    return answer;
}

}  // namespace kl::test
