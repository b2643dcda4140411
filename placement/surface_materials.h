#pragma once
// The surfaces that colour 3D bodies, found by name or made on first use.
#include <cstdint>
#include <string_view>

namespace kl::placement {

inline constexpr int32_t kInvalidSurface = 0;

struct SurfaceColour {
    double red = 0, green = 0, blue = 0;  // 0..1
};

// The first surface whose name is byte-for-byte equal, else a new one with the
// colour; the name is cut to the host's 255 bytes. kInvalidSurface when it can
// neither be found nor made.
int32_t findOrCreateSurface(std::string_view name, SurfaceColour colour);

// Items flagged for review get the base name with this suffix, in one
// conspicuous colour, so they stand out in every view.
inline constexpr std::string_view kReviewSuffix = " - POPRAW";
inline constexpr SurfaceColour kReviewColour{0.9, 0.1, 0.6};

// The surface for an item: the review variant of `name` when flagged.
int32_t surfaceFor(std::string_view name, SurfaceColour colour, bool flaggedForReview);

}  // namespace kl::placement
