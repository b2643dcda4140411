#include "buildings/sheet_extent.h"

#include <pugixml.hpp>

#include <vector>

#include "buildings/citygml_rings.h"
#include "geodata/coordinate_text.h"
#include "geodata/xml_walk.h"

namespace kl::buildings {
namespace {

std::optional<geo::Point2d> corner(const pugi::xml_node& envelope, std::string_view name) {
  std::vector<double> numbers;
  geo::readNumbers(childByLocalName(envelope, name).child_value(), numbers);
  if (numbers.size() < 3) return std::nullopt;
  return geo::Point2d{numbers[0], numbers[1]};
}

// Whether the text holds the end of the element that starts at offset.
bool closedAfter(std::string_view text, std::ptrdiff_t offset, std::string_view qualifiedName) {
  if (offset < 0) return false;
  const std::string closing = "</" + std::string(qualifiedName);
  const std::size_t at = text.find(closing, static_cast<std::size_t>(offset));
  return at != std::string_view::npos && text.find('>', at) != std::string_view::npos;
}

}  // namespace

std::optional<geo::Bbox> sheetExtent(std::string_view text) {
  pugi::xml_document doc;
  // A cut text fails to parse; what was read before the cut stays in doc.
  doc.load_buffer(text.data(), text.size());
  const pugi::xml_node envelope = geo::firstDescendant(doc, "Envelope");
  if (!envelope || !closedAfter(text, envelope.offset_debug(), envelope.name())) return std::nullopt;
  const std::optional<geo::Point2d> lower = corner(envelope, "lowerCorner");
  const std::optional<geo::Point2d> upper = corner(envelope, "upperCorner");
  if (!lower || !upper) return std::nullopt;
  return geo::Bbox{lower->x, lower->y, upper->x, upper->y};
}

}  // namespace kl::buildings
