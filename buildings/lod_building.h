#pragma once
// The buildings read from the county 3D model packages, as plain data for the
// fetch result and for placement. Coordinates stand as in the sheet: easting
// first, PL-1992 metres; heights in metres above sea level.
//
// Every ring here is open: a closing point equal to the first is stripped when
// the sheet is read, so a rectangle has four points and later steps never see
// a zero-length closing edge.
#include <string>
#include <vector>

#include "geodata/geometry.h"

namespace kl::buildings {

// A block: the footprint extruded from baseZ by height.
struct Lod1Building {
  std::string id;                        // gml:id, empty when missing
  std::vector<geo::Point2d> footprint;   // open ring, at least 3 points, file order
  double baseZ = 0.0;                    // lowest z of all the building's points
  double height = 0.0;                   // always > 0
};

struct Point3d {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  friend bool operator==(const Point3d&, const Point3d&) = default;
};

// What a face bounds, from the thematic surface that holds it; a face outside
// any wall, roof or ground surface (closure surfaces, bare solids) is Other.
enum class FaceKind { Wall, Roof, Ground, Other };

// One planar polygon of the model: an exterior ring and its holes (a courtyard
// in a ground or roof face), each open with at least 3 points.
struct Lod2Face {
  FaceKind kind = FaceKind::Other;
  std::vector<Point3d> exterior;
  std::vector<std::vector<Point3d>> holes;
};

// A building with modelled roofs. Faces are in document order; the faces of a
// BuildingPart belong to the building that holds it.
struct Lod2Building {
  std::string id;                  // gml:id, empty when missing
  std::string roofType;            // the building's roofType code as written ("3100"), empty when missing
  std::vector<Lod2Face> faces;     // at least one
};

}  // namespace kl::buildings
