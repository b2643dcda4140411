#include "buildings/citygml_rings.h"

#include <algorithm>
#include <limits>

#include "geodata/coordinate_text.h"
#include "geodata/xml_walk.h"

namespace kl::buildings {

std::vector<pugi::xml_node> outermostBuildings(const pugi::xml_document& doc) {
  std::vector<pugi::xml_node> out;
  geo::forEachDescendantElement(doc, [&](const pugi::xml_node& n) {
    if (geo::localName(n) != "Building") return true;
    out.push_back(n);
    return false;
  });
  return out;
}

std::optional<std::vector<Point3d>> readRing(const pugi::xml_node& linearRing) {
  std::vector<Point3d> ring;
  std::vector<double> numbers;
  for (const pugi::xml_node& child : linearRing.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view name = geo::localName(child);
    if (name != "pos" && name != "posList") continue;
    numbers.clear();
    if (!geo::readNumbers(child.child_value(), numbers) || numbers.empty() || numbers.size() % 3 != 0)
      return std::nullopt;
    if (name == "pos" && numbers.size() != 3) return std::nullopt;
    for (std::size_t i = 0; i < numbers.size(); i += 3) ring.push_back({numbers[i], numbers[i + 1], numbers[i + 2]});
  }
  if (ring.size() > 1 && ring.front() == ring.back()) ring.pop_back();
  if (ring.size() < 3) return std::nullopt;
  return ring;
}

pugi::xml_node childByLocalName(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_node& child : node.children())
    if (child.type() == pugi::node_element && geo::localName(child) == name) return child;
  return {};
}

std::string_view trimmedText(const pugi::xml_node& node) {
  std::string_view text = node.child_value();
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

geo::Bbox emptyBox() {
  constexpr double inf = std::numeric_limits<double>::infinity();
  return {inf, inf, -inf, -inf};
}

void extendBox(geo::Bbox& box, double x, double y) {
  box = {std::min(box.minX, x), std::min(box.minY, y), std::max(box.maxX, x), std::max(box.maxY, y)};
}

bool meetsFrame(const geo::Bbox& box, const geo::Bbox& frame) {
  return frame.maxX >= box.minX && box.maxX >= frame.minX && frame.maxY >= box.minY && box.maxY >= frame.minY;
}

}  // namespace kl::buildings
