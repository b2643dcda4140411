#include "terrain/cloud_ground_grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace kl::terrain {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The heights of every cell in one float array, cell after cell (a counting
// sort): 4 bytes a point and 8 a cell, where a vector per cell would cost
// its own allocation for each of hundreds of thousands of cells.
class CellBins {
public:
  CellBins(const HeightGrid& grid, std::span<const CloudXyz> points) : grid_(grid), start_(cellCount() + 1, 0) {
    for (const CloudXyz& p : points)
      if (const std::ptrdiff_t c = nearestNode(p); c >= 0) ++start_[static_cast<std::size_t>(c)];
    std::uint64_t total = 0;
    for (std::size_t c = 0; c < cellCount(); ++c) start_[c] = total += start_[c];  // the end of each cell
    start_.back() = total;
    heights_.resize(total);
    // Filling each cell from its end leaves start_ at the cell's first height.
    for (const CloudXyz& p : points)
      if (const std::ptrdiff_t c = nearestNode(p); c >= 0)
        heights_[--start_[static_cast<std::size_t>(c)]] = static_cast<float>(p.z);
  }

  std::size_t count(std::size_t cell) const { return start_[cell + 1] - start_[cell]; }
  std::size_t total() const { return heights_.size(); }

  // The element at count/2 after partial ordering: the upper median.
  double median(std::size_t cell) {
    const auto first = heights_.begin() + static_cast<std::ptrdiff_t>(start_[cell]);
    const auto middle = first + static_cast<std::ptrdiff_t>(count(cell) / 2);
    std::nth_element(first, middle, first + static_cast<std::ptrdiff_t>(count(cell)));
    return *middle;
  }

  // The same over every height of every cell; reorders the cells' heights.
  double medianOfAll() {
    const auto middle = heights_.begin() + static_cast<std::ptrdiff_t>(heights_.size() / 2);
    std::nth_element(heights_.begin(), middle, heights_.end());
    return *middle;
  }

private:
  std::size_t cellCount() const { return grid_.values.size(); }

  std::ptrdiff_t nearestNode(const CloudXyz& p) const {
    if (!std::isfinite(p.z)) return -1;
    // The grid's value c stands at the node x0 + c*step (the mesh and the
    // contours are drawn through the nodes), so a point goes to its nearest
    // node: binned by squares, every node would carry the ground half a
    // cell north-east of it.
    const double fx = (p.x - grid_.x0) / grid_.step + 0.5;
    const double fy = (p.y - grid_.y0) / grid_.step + 0.5;
    // Written so that NaN coordinates fail too.
    if (!(fx >= 0.0 && fx < grid_.nx && fy >= 0.0 && fy < grid_.ny)) return -1;
    return static_cast<std::ptrdiff_t>(grid_.index(static_cast<std::int32_t>(fx), static_cast<std::int32_t>(fy)));
  }

  const HeightGrid& grid_;
  std::vector<std::uint64_t> start_;
  std::vector<float> heights_;
};

bool layOut(CloudGroundGrid& out, const geo::Bbox& frame, double cell) {
  HeightGrid& g = out.heights;
  g.x0 = frame.minX;
  g.y0 = frame.minY;
  g.step = cell > 0.0 && std::isfinite(cell) ? cell : 1.0;
  const double columns = std::floor((frame.maxX - frame.minX) / g.step) + 1.0;
  const double rows = std::floor((frame.maxY - frame.minY) / g.step) + 1.0;
  if (!(columns >= 1.0 && rows >= 1.0)) return false;  // also a frame that is not a number
  // Compared as doubles: the product of two 32-bit counts may not fit 32 bits.
  if (columns * rows > static_cast<double>(kMaxCloudGridCells)) {
    out.tooLarge = true;
    return false;
  }
  g.nx = static_cast<std::int32_t>(columns);
  g.ny = static_cast<std::int32_t>(rows);
  const auto cells = static_cast<std::size_t>(static_cast<std::int64_t>(g.nx) * g.ny);
  g.values.assign(cells, kNaN);
  out.water.assign(cells, 0);
  return true;
}

// A pass fills every empty cell that has at least 3 valued neighbours of
// the 8 with their mean; values written in a pass are seen by the next one.
void fillHoles(CloudGroundGrid& out) {
  HeightGrid& g = out.heights;
  std::vector<std::size_t> holes, left;
  for (std::size_t i = 0; i < g.values.size(); ++i)
    if (std::isnan(g.values[i])) holes.push_back(i);
  std::vector<std::pair<std::size_t, double>> filled;
  for (int pass = 0; pass < kHoleFillingPasses && !holes.empty(); ++pass) {
    filled.clear();
    left.clear();
    for (const std::size_t i : holes) {
      const auto c = static_cast<std::int32_t>(i % static_cast<std::size_t>(g.nx));
      const auto r = static_cast<std::int32_t>(i / static_cast<std::size_t>(g.nx));
      double sum = 0.0;
      int n = 0;
      for (std::int32_t rr = std::max(r - 1, 0); rr <= std::min(r + 1, g.ny - 1); ++rr)
        for (std::int32_t cc = std::max(c - 1, 0); cc <= std::min(c + 1, g.nx - 1); ++cc) {
          const double v = g.at(cc, rr);
          if ((cc != c || rr != r) && !std::isnan(v)) {
            sum += v;
            ++n;
          }
        }
      if (n >= 3) filled.emplace_back(i, sum / n);
      else left.push_back(i);
    }
    if (filled.empty()) break;
    for (const auto& [i, v] : filled) g.values[i] = v;
    out.validCells += static_cast<std::int64_t>(filled.size());
    holes.swap(left);
  }
}

// The empty cells reached from water cells edge to edge join the surface.
void flood(CloudGroundGrid& out) {
  const HeightGrid& g = out.heights;
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < out.water.size(); ++i)
    if (out.water[i]) todo.push_back(i);
  out.flattenedCells = static_cast<std::int64_t>(todo.size());
  const auto nx = static_cast<std::size_t>(g.nx);
  while (!todo.empty()) {
    const std::size_t i = todo.back();
    todo.pop_back();
    const std::size_t c = i % nx;
    const auto reach = [&](bool inside, std::size_t j) {
      if (!inside || out.water[j] || !std::isnan(g.values[j])) return;
      out.water[j] = 1;
      ++out.flattenedCells;
      todo.push_back(j);
    };
    reach(c > 0, i - 1);
    reach(c + 1 < nx, i + 1);
    reach(i >= nx, i - nx);
    reach(i + nx < out.water.size(), i + nx);
  }
}

}  // namespace

CloudGroundGrid buildCloudGroundGrid(std::span<const CloudXyz> ground, const geo::Bbox& frame, double cell,
                                     std::span<const CloudXyz> water, bool flattenWater) {
  CloudGroundGrid out;
  if (!layOut(out, frame, cell)) return out;
  HeightGrid& g = out.heights;
  {
    CellBins bins(g, ground);
    for (std::size_t i = 0; i < g.values.size(); ++i)
      if (bins.count(i) > 0) {
        g.values[i] = bins.median(i);
        ++out.validCells;
      }
  }
  fillHoles(out);

  CellBins bins(g, water);
  out.waterPoints = static_cast<std::int64_t>(bins.total());
  for (std::size_t i = 0; i < g.values.size(); ++i) {
    if (bins.count(i) < 2) continue;
    if (std::isnan(g.values[i])) ++out.validCells;
    g.values[i] = bins.median(i);
    out.water[i] = 1;
    ++out.waterCells;
  }
  // Without a water point there is no level: a surface at 0 m would turn
  // every hole into a pit at sea level.
  if (!flattenWater || bins.total() == 0) return out;
  out.waterLevel = bins.medianOfAll();
  flood(out);
  return out;
}

}  // namespace kl::terrain
