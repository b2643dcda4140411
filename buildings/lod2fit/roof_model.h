#pragma once
// The data a roof fit works on and hands back. Coordinates are PL-1992 metres
// (easting, northing) with heights above sea level, except inside the fit,
// which works in a frame turned to the building's longest wall.
#include <cstdint>
#include <string>
#include <vector>

#include "buildings/lod_building.h"
#include "geodata/geometry.h"

namespace kl::buildings::lod2fit {

using Footprint = std::vector<geo::Point2d>;  // open ring

// The fit error when there was no point (or no face) to measure it with.
inline constexpr double kNoFitError = 1e9;

// The shape parameters every primitive reads; p6..p11 are read only by the
// primitives the classifier never picks.
struct RoofParams {
  double groundZ = 0.0;
  double eaveZ = 3.0;
  double ridgeZ = 6.0;  // at least eaveZ + 0.1 once a fit has set it
  double dirX = 1.0;    // unit ridge (main) direction
  double dirY = 0.0;
  double hipInset = 2.0;  // horizontal distance of a hip's apex from the gable line
  double p6 = 0.5;
  double p7 = 0.3;
  double p8 = 0.5;
  std::int32_t p9 = 1;
  double p10 = 2.0;
  double p11 = 1.5;
  std::int32_t segments = 16;  // of a dome
};

// Planar polygons over shared vertices.
struct RoofMesh {
  std::vector<Point3d> vertices;
  std::vector<std::vector<std::uint32_t>> faces;
};

struct RoofFitInput {
  std::vector<Point3d> points;  // the cloud inside the footprint
  Footprint footprint;
  double groundZ = 0.0;
  RoofParams params;
};

struct RoofFitResult {
  std::string primitive;
  RoofParams params;
  RoofMesh mesh;  // in the input's coordinates
  bool needsReview = true;
  double meanError = kNoFitError;  // metres from the roof points to the mesh
};

// The buildings of one frame rebuilt from the cloud, in the order of their
// LOD1 footprints (skipped footprints leave no entry), and the fetch's
// account of them for the diagnostic file.
struct Lod2Reconstruction {
  std::vector<std::string> ids;  // the LOD1 ids, one per fit
  std::vector<RoofFitResult> buildings;
  std::string diagnostic;
};

}  // namespace kl::buildings::lod2fit
