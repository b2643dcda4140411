#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

KlGuid randomGuid();
bool sameGuid(const KlGuid& a, const KlGuid& b);
bool isNullGuid(const KlGuid& g);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": word 0, the two halves of word 1,
// then the sixteen hex digits of words 2 and 3 split 4 + 12.
std::string guidToString(const KlGuid& g);
std::optional<KlGuid> parseGuid(std::string_view text);

struct GuidHash {
    size_t operator()(const KlGuid& g) const noexcept;
};
struct GuidEqual {
    bool operator()(const KlGuid& a, const KlGuid& b) const noexcept { return sameGuid(a, b); }
};

}  // namespace kl::host
