#include "buildings/lod2_parser.h"

#include <optional>

#include "buildings/citygml_rings.h"
#include "geodata/xml_walk.h"

namespace kl::buildings {
namespace {

// The thematic surface nearest above the polygon, up to its building.
FaceKind kindOf(pugi::xml_node polygon, const pugi::xml_node& building) {
  for (pugi::xml_node n = polygon.parent(); n && n != building; n = n.parent()) {
    const std::string_view name = geo::localName(n);
    if (name == "WallSurface") return FaceKind::Wall;
    if (name == "RoofSurface") return FaceKind::Roof;
    if (name == "GroundSurface") return FaceKind::Ground;
  }
  return FaceKind::Other;
}

std::optional<Lod2Face> faceOf(const pugi::xml_node& polygon, const pugi::xml_node& building) {
  Lod2Face face;
  face.kind = kindOf(polygon, building);
  bool hasExterior = false;
  for (const pugi::xml_node& boundary : polygon.children()) {
    const std::string_view role = geo::localName(boundary);
    if (role != "exterior" && role != "interior") continue;
    const pugi::xml_node linearRing = childByLocalName(boundary, "LinearRing");
    std::optional<std::vector<Point3d>> ring = linearRing ? readRing(linearRing) : std::nullopt;
    if (!ring) return std::nullopt;
    if (role == "interior") {
      face.holes.push_back(std::move(*ring));
    } else if (!hasExterior) {
      face.exterior = std::move(*ring);
      hasExterior = true;
    } else {
      return std::nullopt;
    }
  }
  if (!hasExterior) return std::nullopt;
  return face;
}

}  // namespace

SheetBuildings<Lod2Building> parseLod2Buildings(std::string_view sheet, const geo::Bbox& frame) {
  SheetBuildings<Lod2Building> out;
  pugi::xml_document doc;
  if (!doc.load_buffer(sheet.data(), sheet.size())) {
    out.wellFormed = false;
    return out;
  }
  for (const pugi::xml_node& building : outermostBuildings(doc)) {
    Lod2Building b;
    b.id = geo::attributeByLocalName(building, "id").value();
    b.roofType = std::string(trimmedText(childByLocalName(building, "roofType")));
    geo::Bbox box = emptyBox();
    geo::forEachDescendantElement(building, [&](const pugi::xml_node& n) {
      if (geo::localName(n) != "Polygon") return true;
      if (std::optional<Lod2Face> face = faceOf(n, building)) {
        for (const Point3d& p : face->exterior) extendBox(box, p.x, p.y);
        b.faces.push_back(std::move(*face));
      }
      return false;
    });
    if (b.faces.empty()) {
      ++out.unusable;
      continue;
    }
    if (meetsFrame(box, frame)) out.buildings.push_back(std::move(b));
  }
  return out;
}

}  // namespace kl::buildings
