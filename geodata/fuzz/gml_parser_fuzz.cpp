#include <cstddef>
#include <cstdint>
#include <string_view>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kl::geo::GmlParseOptions options;
  options.keepFeaturesWithoutGeometry = size % 2 == 0;
  const auto result = kl::geo::GmlParser::parse(text, kl::geo::DataType::Buildings, options);
  // The preview must serialise whatever the parser let through.
  (void)kl::geo::toGeoJson(result.features).dump();
  return 0;
}
