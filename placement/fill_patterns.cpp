#include "placement/fill_patterns.h"

#include <cctype>

#include "base/entry_barrier.h"
#include "base/host_access.h"

namespace kl::placement {
namespace {

constexpr int32_t kFillSolid = 0;
constexpr int32_t kFillVector = 1;
constexpr int32_t kNoFill = 0;

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const std::vector<FillPatterns::Fill>& FillPatterns::fills() {
    if (fills_) return *fills_;
    fills_.emplace();
    host()->ListAttributes(
        KL_ATTR_FILL,
        [](void* ctx, const KlAttribute* a) noexcept {
            platform::guarded("fill patterns", [ctx, a] {
                static_cast<std::vector<Fill>*>(ctx)->push_back({a->index, a->fillKind, lower(a->name)});
            });
        },
        &*fills_);
    return *fills_;
}

int32_t FillPatterns::solid() {
    for (const Fill& f : fills())
        if (f.kind == kFillSolid) return f.index;
    return kNoFill;
}

int32_t FillPatterns::vector(std::string_view name) {
    const std::string wanted = lower(name);
    int32_t first = kNoFill;
    for (const Fill& f : fills()) {
        if (f.kind != kFillVector) continue;
        if (f.lowerName.find(wanted) != std::string::npos) return f.index;
        if (first == kNoFill) first = f.index;
    }
    return first;
}

}  // namespace kl::placement
