#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "geodata/data_type.h"
#include "geodata/gis_feature.h"

namespace kl::geo {

enum class GmlStatus {
  Ok,
  MalformedXml,     // not a well-formed XML document (empty text included)
  ExceptionReport,  // the service answered with an OGC exception report
};

struct GmlParseResult {
  GmlStatus status = GmlStatus::Ok;
  std::string message;           // Polish, empty when status is Ok
  std::ptrdiff_t errorOffset = 0;  // byte offset of an XML error
  int documentEpsg = 0;          // CRS named by the document, 0 when none
  std::vector<GisFeature> features;

  bool ok() const noexcept { return status == GmlStatus::Ok; }
};

struct GmlParseOptions {
  // Members without any readable geometry are dropped unless this is set
  // (attribute-only answers such as a boundary lookup by point).
  bool keepFeaturesWithoutGeometry = false;
};

class GmlParser {
 public:
  // Features of a GML feature collection (GML 2, 3.1, 3.2; WFS 1.x and 2.0)
  // in PL-1992, in document order. Never throws; bad input gives an empty
  // list.
  static std::vector<GisFeature> parseFeatureCollection(std::string_view gml, DataType type);

  // The same with the reason of an empty answer.
  static GmlParseResult parse(std::string_view gml, DataType type,
                              const GmlParseOptions& options = {});

  // The same, parsing the caller's buffer in place instead of a copy: for
  // large downloads, which need one document-sized buffer less.
  static GmlParseResult parseOwned(std::string gml, DataType type,
                                   const GmlParseOptions& options = {});
};

}  // namespace kl::geo
