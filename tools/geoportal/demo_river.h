#pragma once
// The river that Asnyka crosses on "Most na Bobrze": a stretch of water at
// one level between sloping banks, cut into the ground that both the LiDAR
// tiles and the terrain model sheets are made of (a terrain model holds the
// water surface where the laser saw water), and the bridge deck that the
// surface model sheets show over it. The stretch runs north-south through the
// courtyards of the two blocks beside the bridge; the old mill south of the
// street stands in the water, as mills do.
#include <optional>

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {

namespace demo {
inline constexpr Xy kRiverFrom{260820.0, 382755.0}, kRiverTo{260820.0, 382890.0};  // the axis of the stretch
inline constexpr double kRiverHalfWidth = 14.0;  // of the water
inline constexpr double kRiverBank = 3.0;        // from the water's edge up to the plain ground
inline constexpr double kRiverLevel = 194.8;     // below the plain ground all along the stretch
// The bridge: Asnyka's centreline over the river between these eastings, and
// its deck as wide as the street with its pavements, wider than the 8 m a
// reader makes of a two-lane way, so that the metre cells of the surface
// model under that corridor all lie on the deck.
inline constexpr double kBridgeWest = 260800.0, kBridgeEast = 260840.0, kBridgeNorthing = 382800.0;
inline constexpr double kBridgeHalfWidth = 6.0;
}  // namespace demo

// Whether the laser sees the river's water at p.
bool inDemoRiver(Xy p);

// The ground at p, given the plain slopes' height there, with the river's
// bed and banks cut into it.
double cutRiverBed(Xy p, double plain);

// The height of the bridge's deck over p, when p lies under it: the road
// running straight from one abutment to the other.
std::optional<double> demoBridgeDeck(Xy p);

}  // namespace kl::geoportal
