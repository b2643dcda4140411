#include "shell/platform/folders.h"

#include <cstdlib>
#include <system_error>

namespace kl::platform {
namespace {

std::filesystem::path fromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v && *v) return std::filesystem::path(v);
    return {};
}

std::filesystem::path homeSubdir(const char* xdgVar, const char* fallback) {
    auto p = fromEnv(xdgVar);
    if (!p.empty()) return p;
    auto home = fromEnv("HOME");
    if (!home.empty()) return home / fallback;
    return std::filesystem::path(".");
}

}  // namespace

std::filesystem::path roamingAppDataDir() { return homeSubdir("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path localAppDataDir() { return homeSubdir("XDG_CACHE_HOME", ".cache"); }

std::filesystem::path tempDir() {
    std::error_code ec;
    auto p = std::filesystem::temp_directory_path(ec);
    if (ec || p.empty()) return std::filesystem::path("/tmp");
    return p;
}

std::filesystem::path diagnosticDir() {
    auto p = fromEnv("KL_DIAG_DIR");
    if (p.empty()) p = tempDir() / "kartolink";
    std::error_code ec;
    std::filesystem::create_directories(p, ec);
    return p;
}

}  // namespace kl::platform
