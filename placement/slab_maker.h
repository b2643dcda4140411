#pragma once
// Blocks placed as slabs: an extruded footprint.
#include <cstdint>
#include <string_view>

#include "placement/element_makers.h"

namespace kl::placement {

// Makes slabs with the host's first building material, looked up once.
class SlabMaker {
public:
    // footprint in project metres (open or closed); bottom and thickness in
    // metres. Fewer than 3 points or a thickness <= 0 create nothing and
    // return 0. A non-empty id becomes the slab's ID text.
    KlErr make(const Points& footprint, double bottom, double thickness, int32_t layer, std::string_view id);

private:
    int32_t material_ = -1;  // -1: not looked up yet; 0: the host's default
};

}  // namespace kl::placement
