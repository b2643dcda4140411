#pragma once

#include <cstddef>
#include <functional>
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
  BadEncoding,      // an encoding that cannot be converted, or bytes it lacks
  TooDeep,          // elements nested deeper than any GML answer needs
  Cancelled,        // the caller stopped the parse
};

// Deeper nesting is refused: no GML answer needs it (GDAL draws the line at
// the same depth), and walking hostile nesting would cost time for nothing.
inline constexpr int kMaxGmlElementDepth = 64;

struct GmlParseResult {
  GmlStatus status = GmlStatus::Ok;
  std::string message;           // Polish, empty when status is Ok
  std::ptrdiff_t errorOffset = 0;  // byte offset of an XML error
  int documentEpsg = 0;          // CRS named by the document, 0 when none
  std::vector<GisFeature> features;
  // Polish, one a feature that lost a geometry (a bad number, too few
  // vertices): the feature list is then knowingly incomplete.
  std::vector<std::string> warnings;

  bool ok() const noexcept { return status == GmlStatus::Ok; }
};

// Takes the features of a document one by one, in document order.
using GmlFeatureSink = std::function<void(GisFeature&&)>;

struct GmlParseOptions {
  // Members without any readable geometry are dropped unless this is set
  // (attribute-only answers such as a boundary lookup by point).
  bool keepFeaturesWithoutGeometry = false;
  // Asked between features; true stops the parse with status Cancelled.
  std::function<bool()> cancelled;
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
