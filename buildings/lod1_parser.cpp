#include "buildings/lod1_parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "buildings/citygml_rings.h"
#include "geodata/xml_walk.h"

namespace kl::buildings {
namespace {

constexpr double kGroundTolerance = 0.01;

double shoelaceArea(const std::vector<Point3d>& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
    sum += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
  return std::abs(sum) / 2;
}

double meanZ(const std::vector<Point3d>& ring) {
  double sum = 0;
  for (const Point3d& p : ring) sum += p.z;
  return sum / static_cast<double>(ring.size());
}

std::vector<std::vector<Point3d>> ringsOf(const pugi::xml_node& building) {
  std::vector<std::vector<Point3d>> rings;
  geo::forEachDescendantElement(building, [&](const pugi::xml_node& n) {
    if (geo::localName(n) != "LinearRing") return true;
    if (std::optional<std::vector<Point3d>> ring = readRing(n)) rings.push_back(std::move(*ring));
    return false;
  });
  return rings;
}

const std::vector<Point3d>& footprintRing(const std::vector<std::vector<Point3d>>& rings, double zMin) {
  const std::vector<Point3d>* best = nullptr;
  double bestArea = -1;
  for (const auto& ring : rings) {
    const bool onGround =
        std::all_of(ring.begin(), ring.end(), [&](const Point3d& p) { return std::abs(p.z - zMin) <= kGroundTolerance; });
    if (!onGround) continue;
    const double area = shoelaceArea(ring);
    if (area > bestArea) {
      bestArea = area;
      best = &ring;
    }
  }
  if (best) return *best;
  // Only reached when rounding kept every ring off the lowest height.
  best = &rings.front();
  for (const auto& ring : rings)
    if (meanZ(ring) < meanZ(*best)) best = &ring;
  return *best;
}

double measuredHeight(const pugi::xml_node& building) {
  const std::string_view text = trimmedText(childByLocalName(building, "measuredHeight"));
  double value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && std::isfinite(value) ? value : 0;
}

}  // namespace

SheetBuildings<Lod1Building> parseLod1Buildings(std::string_view sheet, const geo::Bbox& frame) {
  SheetBuildings<Lod1Building> out;
  pugi::xml_document doc;
  if (!doc.load_buffer(sheet.data(), sheet.size())) {
    out.wellFormed = false;
    return out;
  }
  for (const pugi::xml_node& building : outermostBuildings(doc)) {
    const std::vector<std::vector<Point3d>> rings = ringsOf(building);
    if (rings.empty()) {
      ++out.unusable;
      continue;
    }
    double zMin = std::numeric_limits<double>::infinity(), zMax = -zMin;
    for (const auto& ring : rings)
      for (const Point3d& p : ring) {
        zMin = std::min(zMin, p.z);
        zMax = std::max(zMax, p.z);
      }
    const double measured = measuredHeight(building);
    const double height = measured > 0 ? measured : zMax - zMin;
    if (!(height > 0)) {
      ++out.unusable;
      continue;
    }
    Lod1Building b;
    b.id = geo::attributeByLocalName(building, "id").value();
    b.baseZ = zMin;
    b.height = height;
    geo::Bbox box = emptyBox();
    for (const Point3d& p : footprintRing(rings, zMin)) {
      b.footprint.push_back({p.x, p.y});
      extendBox(box, p.x, p.y);
    }
    if (meetsFrame(box, frame)) out.buildings.push_back(std::move(b));
  }
  return out;
}

}  // namespace kl::buildings
