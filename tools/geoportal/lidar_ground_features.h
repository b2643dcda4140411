#pragma once
// What the demo LiDAR tiles hold on the ground besides the gentle slopes, so
// that the kinds rebuilt from the cloud meet what real sheets hold: a pond of
// water points (ASPRS class 9) at one level, a warehouse whose flat roof
// hides more ground than hole filling can close, and a railway embankment.
// The terrain model sheets keep the plain slopes.
#include <cstdint>

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {

namespace demo {
inline constexpr Xy kPondCentre{260690.0, 382700.0};
inline constexpr double kPondRadius = 28.0;
inline constexpr double kPondBelowGround = 0.8;  // the level below the ground at the centre
// 48 x 45 m: wider than the 40 m that twenty filling passes close from both sides.
inline constexpr Box kWarehouse{260850.0, 382960.0, 260898.0, 383005.0};
inline constexpr double kWarehouseRoof = 9.0;  // above the ground
inline constexpr Xy kEmbankmentFrom{260440.0, 382905.0}, kEmbankmentTo{260660.0, 382860.0};
inline constexpr double kEmbankmentHeight = 3.0, kEmbankmentCrest = 3.0, kEmbankmentFoot = 7.0;  // half widths
}  // namespace demo

inline constexpr std::uint8_t kAsprsGround = 2, kAsprsBuilding = 6, kAsprsWater = 9;

// The pond's water level, metres.
double demoPondLevel();

// A point of the plain demo ground (height z, ASPRS class cls) moved onto
// the pond, the roof or the embankment where it lies on one.
void shapeDemoGround(Xy p, double& z, std::uint8_t& cls);

}  // namespace kl::geoportal
