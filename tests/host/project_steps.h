#pragma once
// Shared by the workbench project tests: a body run as one undo step, and an
// attribute record with a name.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "host/core/project.h"

namespace kl::host {

inline KlErr runStep(Project& p, const char* name, std::function<KlErr()> body) {
    return p.undoableCommand(
        name, [](void* ctx) -> KlErr { return (*static_cast<std::function<KlErr()>*>(ctx))(); }, &body);
}

// The name is cut to the field; a name that fills it has no terminating NUL.
inline KlAttribute namedAttribute(int32_t type, const std::string& name) {
    KlAttribute a{};
    a.type = type;
    std::memcpy(a.name, name.data(), std::min(name.size(), sizeof a.name));
    return a;
}

}  // namespace kl::host
