#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "geodata/data_type.h"
#include "geodata/gis_feature.h"
#include "geodata/gml_geometry.h"
#include "geodata/gml_parser.h"

namespace kl::geo {

// The srsName that governs geometries without one of their own: the root's,
// else the first in document order (the collection's envelope comes first).
std::string_view documentSrsNameOf(const pugi::xml_node& root);

bool isFeatureCollectionName(std::string_view localName);

std::string malformedGmlMessage(std::ptrdiff_t offset);
std::string tooDeepGmlMessage();
GmlParseResult cancelledGmlResult();
GmlParseResult outOfMemoryGmlResult();

// Turns the feature elements below a root into features. One reader serves a
// whole document: it numbers the features across calls, so a document read
// piece by piece names a feature in a warning as when it is read whole.
class GmlFeatureReader {
 public:
  GmlFeatureReader(DataType type, std::string_view documentSrsName, const GmlParseOptions& options);

  // Kept features go to `sink`, lost geometries to `warnings`. False when the
  // caller cancelled.
  bool read(const pugi::xml_node& root, const GmlFeatureSink& sink, std::vector<std::string>& warnings);

  // Feature elements met so far, kept or not.
  std::size_t featureElementsSeen() const noexcept { return position_; }

 private:
  DataType type_;
  const GmlParseOptions& options_;
  GmlGeometryReader geometry_;
  std::size_t position_ = 0;
};

}  // namespace kl::geo
