#pragma once

namespace kl::geo {

// Projected position in metres, easting first in every system.
struct Point2d {
  double x = 0.0;  // easting
  double y = 0.0;  // northing
  friend bool operator==(const Point2d&, const Point2d&) = default;
};

// Geographic position in decimal degrees on GRS80 (WGS84 taken as ETRF2000).
struct LatLon {
  double lat = 0.0;
  double lon = 0.0;
  friend bool operator==(const LatLon&, const LatLon&) = default;
};

// Axis-aligned box, PL-1992 metres unless the caller says otherwise.
struct Bbox {
  double minX = 0.0;
  double minY = 0.0;
  double maxX = 0.0;
  double maxY = 0.0;
  friend bool operator==(const Bbox&, const Bbox&) = default;
};

}  // namespace kl::geo
