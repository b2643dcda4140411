// Capabilities documents come from any county's server. Whatever they hold, the
// layer lists must be clean and every chosen layer must be named in the document.
#include <algorithm>
#include <string>
#include <vector>

#include "net/capabilities.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

void expectSubset(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  for (const auto& name : part) kl::fuzz::expect(kl::fuzz::holds(whole, name));
}

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  using namespace kl::net;
  const std::vector<std::string> names = elementNameTexts(text);

  const std::vector<std::string> layers = nameListFromCapabilities(text);
  expectSubset(layers, names);
  for (auto it = layers.begin(); it != layers.end(); ++it) {
    kl::fuzz::expect(!it->empty());
    kl::fuzz::expect(std::find(it + 1, layers.end(), *it) == layers.end());
  }
  expectSubset(utilityWfsLayers(layers), layers);
  expectSubset(utilityWmsLayers(layers), layers);
  expectSubset(bdot500WmsLayers(layers), layers);

  const WfsLayerNames egib = egibLayerNamesFromCapabilities(text);
  kl::fuzz::expect(egib.parcels.empty() || kl::fuzz::holds(names, egib.parcels));
  kl::fuzz::expect(egib.buildings.empty() || kl::fuzz::holds(names, egib.buildings));
  kl::fuzz::expect(egib.parcels.empty() || egib.parcels != egib.buildings);

  const int zone = 2176 + static_cast<int>(text.size() % 4);
  const int crs = wmsCrsFor(text, zone);
  kl::fuzz::expect(crs == zone || crs == 2180);
}
