#include "base/folders.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

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

bool makePrivateFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    if (dir.has_parent_path()) std::filesystem::create_directories(dir.parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    // lstat: a link is refused, not followed.
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    return (st.st_mode & 077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

std::filesystem::path privateWorkDir(const std::string& name) {
    const auto shared = tempDir() / name;
    if (makePrivateFolder(shared)) return shared;
    const auto own = localAppDataDir() / "kartolink" / "tmp" / name;
    makePrivateFolder(own);
    return own;
}

std::filesystem::path diagnosticDir() {
    auto p = fromEnv("KL_DIAG_DIR");
    if (!p.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(p, ec);
        return p;
    }
    return privateWorkDir("kartolink");
}

}  // namespace kl::platform
