// The boundary service answers which commune lies under a point, and its
// capabilities name the layer to ask. Whatever comes back, a code is taken
// only as six or seven digits of one of the answered features, together with
// that feature's own boundary.
#include <algorithm>
#include <string>

#include "geodata/gml_parser.h"
#include "net/capabilities.h"
#include "net/commune_resolver.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

bool isCode(const std::string& text) {
  return (text.size() == 6 || text.size() == 7) &&
         std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

// A point inside the answered area when there is one, so that the boundary
// test runs on real rings.
kl::geo::Point2d probeFor(const std::vector<kl::geo::GisFeature>& features) {
  for (const auto& f : features)
    for (const auto& polygon : f.polygons)
      if (!polygon.exterior.empty()) {
        const auto& a = polygon.exterior.front();
        const auto& b = polygon.exterior[polygon.exterior.size() / 2];
        return {(a.x + b.x) / 2, (a.y + b.y) / 2};
      }
  return {0, 0};
}

bool isBoundaryOfAnswered(const kl::net::CommuneAtPoint& found, const std::vector<kl::geo::GisFeature>& features) {
  return std::any_of(features.begin(), features.end(), [&](const kl::geo::GisFeature& f) {
    return f.polygons == found.boundary && std::any_of(f.attributes.begin(), f.attributes.end(), [&](const auto& kv) {
             return kv.second == found.teryt;
           });
  });
}

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  kl::geo::GmlParseOptions options;
  options.keepFeaturesWithoutGeometry = true;
  const auto parsed = kl::geo::GmlParser::parse(text, kl::geo::DataType::Parcels, options);

  const auto found = kl::net::communeFromBoundaryAnswer(parsed.features, probeFor(parsed.features));
  if (found.teryt.empty()) {
    kl::fuzz::expect(found.boundary.empty());
  } else {
    kl::fuzz::expect(isCode(found.teryt));
    kl::fuzz::expect(kl::fuzz::haveOnlyFiniteVertices(parsed.features));
    kl::fuzz::expect(isBoundaryOfAnswered(found, parsed.features));
  }

  const std::string layer = kl::net::communeLayerFromCapabilities(text);
  kl::fuzz::expect(layer.empty() || kl::fuzz::holds(kl::net::elementNameTexts(text), layer));
}
