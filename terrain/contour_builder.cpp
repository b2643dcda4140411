#include "terrain/contour_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace kl::terrain {
namespace {

using Point = std::pair<double, double>;

struct Segment {
  Point a;
  Point b;
};

// Segment ends meet when they agree to the millimetre. The key is the pair
// of millimetre counts: a single packed integer overflows for the 7-digit
// eastings of PL-2000.
using EndKey = std::pair<std::int64_t, std::int64_t>;

EndKey keyOf(const Point& p) { return {std::llround(p.first * 1000.0), std::llround(p.second * 1000.0)}; }

struct KeyedEnd {
  EndKey key;
  std::uint32_t segment;
  bool operator<(const KeyedEnd& other) const { return key < other.key; }
};

// Chains one level's segments into polylines; a closed loop ends on its
// start point.
std::vector<std::vector<Point>> joinSegments(const std::vector<Segment>& segments) {
  std::vector<KeyedEnd> ends;
  ends.reserve(segments.size() * 2);
  for (std::uint32_t s = 0; s < segments.size(); ++s) {
    ends.push_back({keyOf(segments[s].a), s});
    ends.push_back({keyOf(segments[s].b), s});
  }
  // Stable, so the ends sharing a key stay in creation order.
  std::stable_sort(ends.begin(), ends.end());
  std::vector<bool> used(segments.size(), false);

  // The far end of the first unused segment meeting `at`, marking it used.
  const auto extend = [&](const Point& at, Point& next) {
    const EndKey key = keyOf(at);
    auto it = std::lower_bound(ends.begin(), ends.end(), KeyedEnd{key, 0});
    for (; it != ends.end() && it->key == key; ++it) {
      if (used[it->segment]) continue;
      used[it->segment] = true;
      const Segment& s = segments[it->segment];
      next = keyOf(s.a) == key ? s.b : s.a;
      return true;
    }
    return false;
  };

  std::vector<std::vector<Point>> chains;
  for (std::uint32_t s = 0; s < segments.size(); ++s) {
    if (used[s]) continue;
    used[s] = true;
    std::vector<Point> chain = {segments[s].a, segments[s].b};
    Point next;
    while (extend(chain.back(), next)) chain.push_back(next);
    std::vector<Point> front;
    Point from = chain.front();
    while (extend(from, next)) {
      front.push_back(next);
      from = next;
    }
    if (!front.empty()) chain.insert(chain.begin(), front.rbegin(), front.rend());
    chains.push_back(std::move(chain));
  }
  return chains;
}

double planarLength(const std::vector<Point>& points) {
  double length = 0.0;
  for (std::size_t i = 1; i < points.size(); ++i) {
    length += std::hypot(points[i].first - points[i - 1].first, points[i].second - points[i - 1].second);
  }
  return length;
}

// Marching squares over every cell once: each crossing level gets its
// segments, in cell order, in its own bucket.
class CellTracer {
 public:
  CellTracer(const HeightGrid& grid, double interval, std::int64_t kmin, std::size_t levels)
      : grid_(grid), interval_(interval), kmin_(kmin), buckets_(levels) {}

  // False when cancelled between rows.
  bool trace(const ContourBuilder::CancelQuery& cancelled) {
    for (std::int32_t r = 0; r + 1 < grid_.ny; ++r) {
      if (cancelled && cancelled()) return false;
      for (std::int32_t c = 0; c + 1 < grid_.nx; ++c) traceCell(c, r);
    }
    return true;
  }

  std::vector<std::vector<Segment>>& buckets() { return buckets_; }

 private:
  void traceCell(std::int32_t c, std::int32_t r) {
    const double z00 = grid_.at(c, r);
    const double z10 = grid_.at(c + 1, r);
    const double z11 = grid_.at(c + 1, r + 1);
    const double z01 = grid_.at(c, r + 1);
    if (std::isnan(z00) || std::isnan(z10) || std::isnan(z11) || std::isnan(z01)) return;
    const double low = std::min({z00, z10, z11, z01});
    const double high = std::max({z00, z10, z11, z01});
    // A level crosses when some corner is below it and some is not:
    // low < L <= high. The bounds are widened by one and tested exactly.
    const auto first = std::max<std::int64_t>(kmin_, static_cast<std::int64_t>(std::floor(low / interval_)));
    const auto last = std::min<std::int64_t>(kmin_ + static_cast<std::int64_t>(buckets_.size()) - 1,
                                             static_cast<std::int64_t>(std::floor(high / interval_)) + 1);
    const double xw = grid_.x0 + c * grid_.step;
    const double xe = grid_.x0 + (c + 1) * grid_.step;
    const double ys = grid_.y0 + r * grid_.step;
    const double yn = grid_.y0 + (r + 1) * grid_.step;
    for (std::int64_t k = first; k <= last; ++k) {
      const double level = static_cast<double>(k) * interval_;
      if (!(low < level && level <= high)) continue;
      const Point p00{xw, ys}, p10{xe, ys}, p11{xe, yn}, p01{xw, yn};
      // Edges: bottom, right, top, left, each from its first node.
      const std::array<std::pair<const Point*, double>, 8> edges = {
          std::pair{&p00, z00}, std::pair{&p10, z10}, std::pair{&p10, z10}, std::pair{&p11, z11},
          std::pair{&p01, z01}, std::pair{&p11, z11}, std::pair{&p00, z00}, std::pair{&p01, z01}};
      std::array<Point, 4> crossing;
      std::array<bool, 4> crossed{};
      int count = 0;
      for (int e = 0; e < 4; ++e) {
        const auto& [pa, za] = edges[static_cast<std::size_t>(2 * e)];
        const auto& [pb, zb] = edges[static_cast<std::size_t>(2 * e + 1)];
        if ((za < level) == (zb < level)) continue;
        const double t = std::abs(zb - za) < 1e-12 ? 0.5 : (level - za) / (zb - za);
        crossing[static_cast<std::size_t>(e)] = {pa->first + t * (pb->first - pa->first),
                                                 pa->second + t * (pb->second - pa->second)};
        crossed[static_cast<std::size_t>(e)] = true;
        ++count;
      }
      auto& bucket = buckets_[static_cast<std::size_t>(k - kmin_)];
      if (count == 2) {
        int from = -1;
        for (int e = 0; e < 4; ++e) {
          if (!crossed[static_cast<std::size_t>(e)]) continue;
          if (from < 0) {
            from = e;
          } else {
            bucket.push_back({crossing[static_cast<std::size_t>(from)], crossing[static_cast<std::size_t>(e)]});
          }
        }
      } else if (count == 4) {
        const double centre = (z00 + z10 + z11 + z01) / 4.0;
        enum { kBottom, kRight, kTop, kLeft };
        if ((centre < level) == (z00 < level)) {
          bucket.push_back({crossing[kBottom], crossing[kRight]});
          bucket.push_back({crossing[kTop], crossing[kLeft]});
        } else {
          bucket.push_back({crossing[kBottom], crossing[kLeft]});
          bucket.push_back({crossing[kRight], crossing[kTop]});
        }
      }
    }
  }

  const HeightGrid& grid_;
  double interval_;
  std::int64_t kmin_;
  std::vector<std::vector<Segment>> buckets_;
};

constexpr const char* kOutOfRangeMessage = "Poziomice: wysokosci siatki poza zakresem - poziomice pominiete.";
constexpr const char* kCancelledMessage = "Poziomice: przerwano przez uzytkownika.";
constexpr const char* kTruncatedMessage =
    "Poziomice: za duzo danych dla wybranego ciecia - wynik ograniczony. Zwieksz ciecie albo zmniejsz kadr.";

}  // namespace

ContourResult ContourBuilder::build(const HeightGrid& grid, double interval, const ContourLimits& limits,
                                    const CancelQuery& cancelled, const Progress& progress) {
  ContourResult result;
  if (grid.nx < 2 || grid.ny < 2 || !(interval > 0.0) || !std::isfinite(interval)) return result;
  double low = INFINITY;
  double high = -INFINITY;
  for (const double v : grid.values) {
    if (std::isnan(v)) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  if (!(low <= high)) return result;
  const double kminReal = std::ceil(low / interval);
  const double kmaxReal = std::floor(high / interval);
  if (kmaxReal < kminReal) return result;
  // Level numbers are counted in 64-bit integers; heights this far from sea
  // level are corrupt data, not terrain.
  constexpr double kLevelNumberBound = 1e15;
  if (!(std::abs(kminReal) < kLevelNumberBound && std::abs(kmaxReal) < kLevelNumberBound)) {
    result.message = kOutOfRangeMessage;
    return result;
  }
  // The count is bounded before any conversion: a tiny interval over a
  // large relief could otherwise ask for more levels than an integer holds.
  double levelCount = kmaxReal - kminReal + 1.0;
  if (levelCount > static_cast<double>(limits.maxContours)) {
    levelCount = static_cast<double>(limits.maxContours);
    result.truncated = true;
  }
  const auto kmin = static_cast<std::int64_t>(kminReal);
  const auto levels = static_cast<std::size_t>(levelCount);

  CellTracer tracer(grid, interval, kmin, levels);
  bool stopped = !tracer.trace(cancelled);
  std::size_t points = 0;
  for (std::size_t i = 0; i < levels && !stopped; ++i) {
    if (cancelled && cancelled()) {
      stopped = true;
      break;
    }
    if (progress) progress(i, levels);
    const std::int64_t k = kmin + static_cast<std::int64_t>(i);
    auto& bucket = tracer.buckets()[i];
    for (auto& chain : joinSegments(bucket)) {
      if (planarLength(chain) < 1e-9) continue;
      if (result.contours.size() >= limits.maxContours) {
        result.truncated = true;
        break;
      }
      points += chain.size();
      result.contours.push_back({static_cast<double>(k) * interval, k % 5 == 0, std::move(chain)});
      if (points > limits.maxPoints) {
        result.truncated = true;
        break;
      }
    }
    std::vector<Segment>().swap(bucket);
    if (result.truncated && (result.contours.size() >= limits.maxContours || points > limits.maxPoints)) break;
  }
  if (stopped) {
    result.cancelled = true;
    result.message = kCancelledMessage;
  }
  if (result.truncated) {
    if (!result.message.empty()) result.message += " ";
    result.message += kTruncatedMessage;
  }
  return result;
}

}  // namespace kl::terrain
