#pragma once
// The project's fill patterns as one placement command sees them. Attribute
// indices belong to the project that is open, so they are listed once per
// command and never kept beyond it: the user may open another project
// between two imports while the host's function table stays the same.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::placement {

class FillPatterns {
public:
    // The first solid fill; 0 when the project has none.
    int32_t solid();
    // The first vector pattern whose name contains the wanted one (any
    // case), else the first vector pattern; 0 when there is none.
    int32_t vector(std::string_view name);

private:
    struct Fill {
        int32_t index;
        int32_t kind;
        std::string lowerName;
    };
    const std::vector<Fill>& fills();

    std::optional<std::vector<Fill>> fills_;
};

}  // namespace kl::placement
