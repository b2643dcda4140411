#include "geodata/gml_geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "geodata/coordinate_text.h"
#include "geodata/xml_walk.h"

namespace kl::geo {
namespace {

constexpr std::size_t kPlainDimension = 2;

// Dimension of a position list, declared on the list or an ancestor.
std::size_t dimensionOf(const pugi::xml_node& list) {
  for (pugi::xml_node n = list; n && n.type() == pugi::node_element; n = n.parent()) {
    pugi::xml_attribute a = attributeByLocalName(n, "srsDimension");
    if (!a) a = attributeByLocalName(n, "dimension");
    if (!a) continue;
    const std::string_view text = a.value();
    unsigned value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    // A dimension that no CRS has would make every position garbage.
    if (r.ec == std::errc() && value >= 2 && value <= 4) return value;
    return kPlainDimension;
  }
  return kPlainDimension;
}

char separatorAttribute(const pugi::xml_node& n, const char* name, char fallback) {
  const std::string_view v = n.attribute(name).value();
  return v.size() == 1 ? v[0] : fallback;
}

bool isExteriorHolder(std::string_view parentName) {
  return parentName == "exterior" || parentName == "outerBoundaryIs";
}

// Three vertices at least, the closing repeat of the first not counted.
bool isRing(const Ring& ring) {
  const bool closed = ring.size() > 1 && ring.front() == ring.back();
  return ring.size() - (closed ? 1 : 0) >= 3;
}

bool isArea(const Polygon& polygon) {
  if (!isRing(polygon.exterior)) return false;
  for (const Ring& hole : polygon.holes) {
    if (!isRing(hole)) return false;
  }
  return true;
}

}  // namespace

std::string_view GmlGeometryReader::textOf(const pugi::xml_node& element) {
  pugi::xml_node only;
  int pieces = 0;
  for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      only = c;
      ++pieces;
    }
  }
  if (pieces <= 1) return only ? std::string_view(only.value()) : std::string_view();
  text_.clear();
  for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      text_ += c.value();
      text_ += ' ';
    }
  }
  return text_;
}

AxisRule GmlGeometryReader::ruleFor(const pugi::xml_node& geometry) const {
  for (pugi::xml_node n = geometry; n && n.type() == pugi::node_element; n = n.parent()) {
    if (const pugi::xml_attribute srs = n.attribute("srsName")) {
      return AxisRule::fromSrsName(srs.value());
    }
  }
  return documentRule_;
}

GmlGeometryReader::Found GmlGeometryReader::readPosList(const pugi::xml_node& holder,
                                                        const AxisRule& rule,
                                                        std::vector<Point2d>& out) {
  const pugi::xml_node list = firstDescendant(holder, "posList");
  if (!list) return Found::None;
  numbers_.clear();
  if (!readNumbers(textOf(list), numbers_)) return Found::Broken;
  out.reserve(out.size() + numbers_.size() / 2);
  forEachPosition(numbers_, dimensionOf(list),
                  [&](double a, double b) { out.push_back(rule.toPl1992(a, b)); });
  return Found::Whole;
}

GmlGeometryReader::Found GmlGeometryReader::readPosElements(const pugi::xml_node& holder,
                                                            const AxisRule& rule,
                                                            std::vector<Point2d>& out) {
  Found found = Found::None;
  forEachDescendantElement(holder, [&](const pugi::xml_node& n) {
    if (found == Found::Broken) return false;
    if (localName(n) != "pos") return true;
    numbers_.clear();
    if (!readNumbers(textOf(n), numbers_) || numbers_.size() < 2) {
      found = Found::Broken;
      return false;
    }
    found = Found::Whole;
    out.push_back(rule.toPl1992(numbers_[0], numbers_[1]));
    return false;
  });
  return found;
}

bool GmlGeometryReader::readGml2(const pugi::xml_node& holder, const AxisRule& rule,
                                 std::vector<Point2d>& out) {
  pairs_.clear();
  bool whole = true;
  forEachDescendantElement(holder, [&](const pugi::xml_node& n) {
    const std::string_view name = localName(n);
    if (name == "coordinates") {
      whole = readGml2Coordinates(textOf(n), separatorAttribute(n, "decimal", '.'),
                                  separatorAttribute(n, "cs", ','),
                                  separatorAttribute(n, "ts", ' '), pairs_) &&
              whole;
      return false;
    }
    if (name == "coord") {
      double xy[2];
      int found = 0;
      for (const char* axis : {"X", "Y"}) {
        numbers_.clear();
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
          if (localName(c) == axis) whole = readNumbers(textOf(c), numbers_) && whole;
        }
        if (numbers_.size() == 1) xy[found++] = numbers_[0];
      }
      if (found == 2) {
        pairs_.emplace_back(xy[0], xy[1]);
      } else {
        whole = false;
      }
      return false;
    }
    return true;
  });
  for (const auto& [a, b] : pairs_) out.push_back(rule.toPl1992(a, b));
  return whole;
}

bool GmlGeometryReader::readPositions(const pugi::xml_node& holder, const AxisRule& rule,
                                      std::vector<Point2d>& out) {
  const std::size_t before = out.size();
  bool whole;
  if (const Found f = readPosList(holder, rule, out); f != Found::None) {
    whole = f == Found::Whole;
  } else if (const Found g = readPosElements(holder, rule, out); g != Found::None) {
    whole = g == Found::Whole;
  } else {
    whole = readGml2(holder, rule, out);
  }
  // A finite number far outside its zone has no position in PL-1992: the
  // projection gives NaN, which must not pass for a vertex.
  return whole && std::all_of(out.begin() + static_cast<std::ptrdiff_t>(before), out.end(),
                              [](const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

bool GmlGeometryReader::readPolygon(const pugi::xml_node& polygon, const AxisRule& rule,
                                    Polygon& out) {
  bool haveExterior = false;
  bool whole = true;
  forEachDescendantElement(polygon, [&](const pugi::xml_node& n) {
    if (localName(n) != "LinearRing") return true;
    if (isExteriorHolder(localName(n.parent()))) {
      if (!haveExterior) {
        whole = readPositions(n, rule, out.exterior) && whole;
        haveExterior = true;
      }
    } else {
      whole = readPositions(n, rule, out.holes.emplace_back()) && whole;
    }
    return false;
  });
  return whole;
}

GeometryLosses GmlGeometryReader::read(const pugi::xml_node& featureElement, GisFeature& feature) {
  GeometryLosses losses;
  auto keep = [&](bool whole, bool enoughVertices) {
    if (!whole) {
      ++losses.badNumbers;
    } else if (!enoughVertices) {
      ++losses.tooFewVertices;
    }
    return whole && enoughVertices;
  };
  bool pointSeen = false;
  forEachDescendantElement(featureElement, [&](const pugi::xml_node& n) {
    const std::string_view name = localName(n);
    if (name == "Polygon") {
      Polygon polygon;
      const bool whole = readPolygon(n, ruleFor(n), polygon);
      if (keep(whole, isArea(polygon))) feature.polygons.push_back(std::move(polygon));
      return false;
    }
    if (name == "LineString") {
      Polyline line;
      const bool whole = readPositions(n, ruleFor(n), line);
      if (keep(whole, line.size() >= 2)) feature.lines.push_back(std::move(line));
      return false;
    }
    if (name == "Point") {
      // A point without coordinates is no point: (0, 0) would be placed
      // hundreds of kilometres away from the data.
      if (!pointSeen) {
        pointSeen = true;
        std::vector<Point2d> points;
        const bool whole = readPositions(n, ruleFor(n), points);
        if (keep(whole, !points.empty())) {
          feature.point = points.front();
          feature.hasPoint = true;
        }
      }
      return false;
    }
    return true;
  });
  return losses;
}

}  // namespace kl::geo
