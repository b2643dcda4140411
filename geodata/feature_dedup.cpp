#include "geodata/feature_dedup.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

namespace kl::geo {
namespace {

constexpr double kStepsPerMetre = 1000.0;

// A coordinate on the millimetre grid; values no grid holds keep their bits.
std::int64_t quantised(double v) noexcept {
  const double steps = std::round(v * kStepsPerMetre);
  if (steps > -9e15 && steps < 9e15) return static_cast<std::int64_t>(steps);
  std::int64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

bool samePoint(const Point2d& a, const Point2d& b) noexcept {
  return quantised(a.x) == quantised(b.x) && quantised(a.y) == quantised(b.y);
}

bool samePoints(const std::vector<Point2d>& a, const std::vector<Point2d>& b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!samePoint(a[i], b[i])) return false;
  }
  return true;
}

bool sameGeometry(const GisFeature& a, const GisFeature& b) noexcept {
  if (a.polygons.size() != b.polygons.size() || a.lines.size() != b.lines.size() ||
      a.hasPoint != b.hasPoint || (a.hasPoint && !samePoint(a.point, b.point))) {
    return false;
  }
  for (std::size_t i = 0; i < a.polygons.size(); ++i) {
    const Polygon& p = a.polygons[i];
    const Polygon& q = b.polygons[i];
    if (!samePoints(p.exterior, q.exterior) || p.holes.size() != q.holes.size()) return false;
    for (std::size_t h = 0; h < p.holes.size(); ++h) {
      if (!samePoints(p.holes[h], q.holes[h])) return false;
    }
  }
  for (std::size_t i = 0; i < a.lines.size(); ++i) {
    if (!samePoints(a.lines[i], b.lines[i])) return false;
  }
  return true;
}

bool isId(const std::string& key) { return key == "gml_id"; }

bool sameAttributesBesideId(const GisFeature& a, const GisFeature& b) {
  auto i = a.attributes.begin();
  auto k = b.attributes.begin();
  while (true) {
    while (i != a.attributes.end() && isId(i->first)) ++i;
    while (k != b.attributes.end() && isId(k->first)) ++k;
    if (i == a.attributes.end() || k == b.attributes.end()) {
      return i == a.attributes.end() && k == b.attributes.end();
    }
    if (*i != *k) return false;
    ++i;
    ++k;
  }
}

// FNV-1a over what sameGeometry and sameAttributesBesideId compare.
class ContentHash {
 public:
  void add(std::uint64_t v) noexcept {
    for (int i = 0; i < 8; ++i) state_ = (state_ ^ ((v >> (8 * i)) & 0xFF)) * 0x100000001b3ULL;
  }
  void add(const Point2d& p) noexcept {
    add(static_cast<std::uint64_t>(quantised(p.x)));
    add(static_cast<std::uint64_t>(quantised(p.y)));
  }
  void add(const std::vector<Point2d>& points) noexcept {
    add(static_cast<std::uint64_t>(points.size()));
    for (const Point2d& p : points) add(p);
  }
  void add(const std::string& text) noexcept {
    add(static_cast<std::uint64_t>(text.size()));
    for (char c : text) add(static_cast<std::uint64_t>(static_cast<unsigned char>(c)));
  }
  std::uint64_t value() const noexcept { return state_; }

 private:
  std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

std::uint64_t contentHash(const GisFeature& f) noexcept {
  ContentHash h;
  h.add(static_cast<std::uint64_t>(f.polygons.size()));
  for (const Polygon& p : f.polygons) {
    h.add(p.exterior);
    h.add(static_cast<std::uint64_t>(p.holes.size()));
    for (const Ring& r : p.holes) h.add(r);
  }
  h.add(static_cast<std::uint64_t>(f.lines.size()));
  for (const Polyline& l : f.lines) h.add(l);
  h.add(static_cast<std::uint64_t>(f.hasPoint));
  if (f.hasPoint) h.add(f.point);
  for (const auto& [key, value] : f.attributes) {
    if (isId(key)) continue;
    h.add(key);
    h.add(value);
  }
  return h.value();
}

}  // namespace

bool sameContent(const GisFeature& a, const GisFeature& b) {
  return sameGeometry(a, b) && sameAttributesBesideId(a, b);
}

std::vector<GisFeature> deduplicateAnswers(std::vector<std::vector<GisFeature>> answers) {
  std::vector<GisFeature> kept;
  // The first copy of each content, by hash, and how many copies were kept.
  std::unordered_multimap<std::uint64_t, std::size_t> firstCopies;
  std::unordered_map<std::size_t, int> keptCopies;
  for (std::vector<GisFeature>& answer : answers) {
    std::unordered_map<std::size_t, int> seenInAnswer;
    for (GisFeature& f : answer) {
      const std::uint64_t hash = contentHash(f);
      std::size_t first = kept.size();
      const auto [from, to] = firstCopies.equal_range(hash);
      for (auto it = from; it != to; ++it) {
        if (sameContent(kept[it->second], f)) {
          first = it->second;
          break;
        }
      }
      if (first == kept.size()) firstCopies.emplace(hash, first);
      if (++seenInAnswer[first] > keptCopies[first]) {
        ++keptCopies[first];
        kept.push_back(std::move(f));
      }
    }
  }
  return kept;
}

}  // namespace kl::geo
