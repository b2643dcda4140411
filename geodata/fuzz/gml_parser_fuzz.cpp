#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"
#include "geodata/gml_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kl::geo::GmlParseOptions options;
  options.keepFeaturesWithoutGeometry = size % 2 == 0;
  const auto result = kl::geo::GmlParser::parse(text, kl::geo::DataType::Buildings, options);
  // The preview must serialise whatever the parser let through.
  const std::string whole = kl::geo::toGeoJson(result.features).dump();
  // Read member by member in small chunks, a complete document gives the
  // same features.
  std::istringstream in{std::string(text)};
  std::vector<kl::geo::GisFeature> streamed;
  const auto pieces = kl::geo::streamGmlFeatures(
      in, kl::geo::DataType::Buildings, [&](kl::geo::GisFeature&& f) { streamed.push_back(std::move(f)); }, options,
      1 + size % 13);
  if (result.ok() && pieces.ok() && kl::geo::toGeoJson(streamed).dump() != whole) __builtin_trap();
  return 0;
}
