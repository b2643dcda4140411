#include "geodata/feature_dedup.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace kl::geo {
namespace {

// FNV-1a over the bit patterns of the coordinates, with 0.0 and -0.0 merged.
class Fnv1a {
 public:
  void add(double v) noexcept {
    if (v == 0.0) v = 0.0;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    add(bits);
  }
  void add(std::uint64_t v) noexcept {
    for (int i = 0; i < 8; ++i) {
      state_ = (state_ ^ ((v >> (8 * i)) & 0xFF)) * 0x100000001b3ULL;
    }
  }
  void add(const std::vector<Point2d>& points) noexcept {
    add(static_cast<std::uint64_t>(points.size()));
    for (const Point2d& p : points) {
      add(p.x);
      add(p.y);
    }
  }
  std::uint64_t value() const noexcept { return state_; }

 private:
  std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

bool sameGeometry(const GisFeature& a, const GisFeature& b) {
  return a.polygons == b.polygons && a.lines == b.lines && a.hasPoint == b.hasPoint &&
         (!a.hasPoint || a.point == b.point);
}

std::string idKey(const GisFeature& f) {
  const auto id = f.attributes.find("gml_id");
  if (id == f.attributes.end()) return {};
  const auto typ = f.attributes.find("_typ");
  std::string key = typ == f.attributes.end() ? std::string() : typ->second;
  key += '\n';
  key += id->second;
  return key;
}

}  // namespace

std::uint64_t geometryHash(const GisFeature& feature) noexcept {
  Fnv1a h;
  h.add(static_cast<std::uint64_t>(feature.polygons.size()));
  for (const Polygon& p : feature.polygons) {
    h.add(p.exterior);
    h.add(static_cast<std::uint64_t>(p.holes.size()));
    for (const Ring& r : p.holes) h.add(r);
  }
  h.add(static_cast<std::uint64_t>(feature.lines.size()));
  for (const Polyline& l : feature.lines) h.add(l);
  if (feature.hasPoint) {
    h.add(feature.point.x);
    h.add(feature.point.y);
  }
  return h.value();
}

std::vector<GisFeature> deduplicateFeatures(std::vector<GisFeature> features) {
  std::vector<GisFeature> kept;
  kept.reserve(features.size());
  std::unordered_set<std::string> seenIds;
  std::unordered_multimap<std::uint64_t, std::size_t> seenGeometry;
  for (GisFeature& f : features) {
    const std::string id = idKey(f);
    if (!id.empty()) {
      if (seenIds.insert(id).second) kept.push_back(std::move(f));
      continue;
    }
    const std::uint64_t hash = geometryHash(f);
    bool repeated = false;
    const auto [first, last] = seenGeometry.equal_range(hash);
    for (auto it = first; it != last && !repeated; ++it) {
      const GisFeature& other = kept[it->second];
      repeated = sameGeometry(other, f) && other.attributes == f.attributes;
    }
    if (repeated) continue;
    seenGeometry.emplace(hash, kept.size());
    kept.push_back(std::move(f));
  }
  return kept;
}

}  // namespace kl::geo
