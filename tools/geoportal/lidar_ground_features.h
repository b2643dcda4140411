#pragma once
// What the demo ground holds besides the gentle slopes, so that the kinds
// rebuilt from the cloud meet what real sheets hold: the river (its water
// returns ASPRS class 9 at one level, demo_river.h), a warehouse whose flat
// roof hides more ground than hole filling can close, and a railway
// embankment. The embankment and the river's bed are ground, so the terrain
// model sheets hold them too; the warehouse and the water returns are in the
// LiDAR tiles only.
#include <cstdint>

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {

namespace demo {
// 48 x 45 m: wider than the 40 m that twenty filling passes close from both sides.
inline constexpr Box kWarehouse{260850.0, 382960.0, 260898.0, 383005.0};
inline constexpr double kWarehouseRoof = 9.0;  // above the ground
inline constexpr Xy kEmbankmentFrom{260440.0, 382905.0}, kEmbankmentTo{260660.0, 382860.0};
inline constexpr double kEmbankmentHeight = 3.0, kEmbankmentCrest = 3.0, kEmbankmentFoot = 7.0;  // half widths
}  // namespace demo

inline constexpr std::uint8_t kAsprsGround = 2, kAsprsBuilding = 6, kAsprsWater = 9;

// The demo ground at p, given the plain slopes' height there.
double shapeDemoTerrain(Xy p, double plain);

// A point of the demo ground (height z, ASPRS class cls) moved onto the
// river's water or the warehouse's roof where it lies on one.
void shapeDemoGround(Xy p, double& z, std::uint8_t& cls);

}  // namespace kl::geoportal
