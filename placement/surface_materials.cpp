#include "placement/surface_materials.h"

#include <string>

#include "placement/attribute_lookup.h"

namespace kl::placement {

int32_t findOrCreateSurface(std::string_view name, SurfaceColour colour) {
    return findOrCreateAttribute(KL_ATTR_SURFACE, name, [&](KlAttribute& a) {
        a.red = colour.red;
        a.green = colour.green;
        a.blue = colour.blue;
    });
}

int32_t surfaceFor(std::string_view name, SurfaceColour colour, bool flaggedForReview) {
    if (!flaggedForReview) return findOrCreateSurface(name, colour);
    return findOrCreateSurface(std::string(name) + std::string(kReviewSuffix), kReviewColour);
}

}  // namespace kl::placement
