#pragma once
#include "geodata/geometry.h"

namespace kl::cloud {

// A tile delivered in a PL-2000 zone is cut to the frame's box in that zone,
// widened a little, before its points are moved to PL-1992: converting
// every point of a sheet would cost more than decoding it. Tiles in any
// other system are taken as PL-1992.
class TileToPl1992 {
public:
    TileToPl1992(const geo::Bbox& frame, int tileEpsg);

    // False when the point lies outside the widened box (it is then left as it was).
    bool apply(double& x, double& y) const;

private:
    int epsg_;
    bool zoneTile_;
    geo::Bbox zoneBox_{};
};

}  // namespace kl::cloud
