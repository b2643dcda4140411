#include "base/temporary_names.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <random>

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

}  // namespace kl::platform
