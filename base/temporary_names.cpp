#include "base/temporary_names.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>

#include "base/process_liveness.h"

namespace kl::platform {

std::string temporarySibling(const std::string& target) {
    std::random_device rd;
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%08x.part", static_cast<long>(::getpid()), static_cast<unsigned>(rd()));
    return target + suffix;
}

std::int64_t temporaryOwner(std::string_view name, std::string_view base) noexcept {
    if (name.size() <= base.size() + 1 || !name.starts_with(base) || name[base.size()] != '.') return 0;
    if (!name.ends_with(".part") && !name.ends_with(".tmp")) return 0;
    const char* first = name.data() + base.size() + 1;
    const char* last = name.data() + name.size();
    std::int64_t pid = 0;
    const auto r = std::from_chars(first, last, pid);
    return r.ec == std::errc() && r.ptr != first && r.ptr < last && *r.ptr == '.' ? pid : 0;
}

int sweepStaleTemporaries(const std::string& target, std::chrono::hours maxAge) {
    const std::filesystem::path t(target);
    const std::filesystem::path dir = t.parent_path().empty() ? std::filesystem::path(".") : t.parent_path();
    const std::string base = t.filename().string();
    const auto now = std::filesystem::file_time_type::clock::now();
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::int64_t owner = temporaryOwner(it->path().filename().string(), base);
        if (owner == 0) continue;
        std::error_code timeError;
        const auto written = std::filesystem::last_write_time(it->path(), timeError);
        const bool old = !timeError && now - written > maxAge;
        if (processMayBeRunning(owner) && !old) continue;
        std::error_code removeError;
        if (std::filesystem::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

}  // namespace kl::platform
