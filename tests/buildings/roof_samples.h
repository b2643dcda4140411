#pragma once
// Building points measured on a known roof, as the LiDAR tiles carry them:
// a regular grid of echoes, building class only.
#include <vector>

#include "buildings/lod2fit/roof_model.h"
#include "tools/geoportal/demo_roofs.h"

namespace kl::buildings::lod2fit {

// Every `spacing` metres over the footprint's bounds.
inline std::vector<Point3d> roofSamples(const geoportal::DemoRoof& roof, double spacing) {
  geoportal::Box box = geoportal::Box::empty();
  for (const geoportal::Xy& p : roof.footprint) box.include(p);
  std::vector<Point3d> out;
  uint64_t salt = 0;
  for (double y = box.minY + spacing / 2; y < box.maxY; y += spacing)
    for (double x = box.minX + spacing / 2; x < box.maxX; x += spacing)
      if (const auto hit = geoportal::roofHit(roof, {x, y}, ++salt); hit && hit->cls == 6) out.push_back({x, y, hit->z});
  return out;
}

inline RoofFitInput fitInput(const geoportal::DemoRoof& roof, double spacing = 0.35) {
  RoofFitInput in;
  in.points = roofSamples(roof, spacing);
  for (const geoportal::Xy& p : roof.footprint) in.footprint.push_back({p.x, p.y});
  in.groundZ = roof.ground;
  return in;
}

}  // namespace kl::buildings::lod2fit
