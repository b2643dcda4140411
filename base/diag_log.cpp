#include "base/diag_log.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "base/folders.h"

namespace kl::platform {
namespace {
std::mutex& diagMutex() {
    static std::mutex m;
    return m;
}
}  // namespace

void appendDiagText(std::string_view fileName, std::string_view text) {
    try {
        std::lock_guard<std::mutex> lock(diagMutex());
        const auto path = diagnosticDir() / std::string(fileName);
        std::FILE* f = std::fopen(path.c_str(), "ab");
        if (!f) return;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    } catch (...) {
        // logging must never fail the caller
    }
}

void appendDiagLine(std::string_view fileName, std::string_view line) {
    std::string s(line);
    s.push_back('\n');
    appendDiagText(fileName, s);
}

}  // namespace kl::platform
