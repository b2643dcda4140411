// The fit scored against the known roofs of the demo site: the primitive
// chosen, the ridge direction within 5 degrees, eave and ridge heights within
// 0.2 m. The misses and the confusion table are printed for the record.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <map>
#include <numbers>

#include "buildings/lod2fit/roof_reconstruction.h"
#include "roof_samples.h"

namespace kl::buildings::lod2fit {
namespace {

using geoportal::DemoRoof;
using geoportal::DemoRoofKind;

// Degrees between two undirected lines.
double lineAngle(double ax, double ay, double bx, double by) {
  const double d = std::fmod(std::abs(std::atan2(ay, ax) - std::atan2(by, bx)) * 180 / std::numbers::pi, 180.0);
  return std::min(d, 180 - d);
}

bool pitched(DemoRoofKind kind) { return kind != DemoRoofKind::Flat; }

TEST(RoofTruth, DemoRoofsAreRecognised) {
  const auto& roofs = geoportal::demoRoofs();
  ASSERT_GT(roofs.size(), 30u);
  std::map<std::string, std::map<std::string, int>> confusion;
  std::map<std::string, int> total, ridgeOk, eaveOk, ridgeZOk;
  int hipsWithin = 0;
  for (const DemoRoof& roof : roofs) {
    const RoofFitResult fit = reconstructRoof(fitInput(roof, 0.29));  // 12 points a square metre
    const std::string truth = geoportal::demoRoofName(roof.kind);
    EXPECT_LE(roof.ridge + 2.5, geoportal::demo::kLidarMaxHeight) << "the tiles promise every point below it";
    ++confusion[truth][fit.primitive];
    ++total[truth];
    const bool eave = std::abs(fit.params.eaveZ - roof.eave) <= 0.2;
    const bool ridgeZ = !pitched(roof.kind) || std::abs(fit.params.ridgeZ - roof.ridge) <= 0.2;
    const bool ridge = !pitched(roof.kind) || lineAngle(fit.params.dirX, fit.params.dirY, roof.along.x, roof.along.y) <= 5.0;
    eaveOk[truth] += eave;
    hipsWithin += roof.kind == DemoRoofKind::Hipped && fit.primitive == truth &&
                  std::abs(fit.params.hipInset - roof.hipInset) <= 0.5;
    ridgeZOk[truth] += pitched(roof.kind) && ridgeZ;
    ridgeOk[truth] += pitched(roof.kind) && ridge;
    if (!eave || !ridgeZ || !ridge || fit.primitive != truth)
      std::cout << roof.buildingId << " " << truth << " as " << fit.primitive << ": eaves " << roof.eave << " / "
                << fit.params.eaveZ << ", ridge " << roof.ridge << " / " << fit.params.ridgeZ << "\n";
  }
  // Small outbuildings (6 x 5 m) leave a hip face a few dozen points, and a
  // tree over a corner takes more: a few of them may miss.
  EXPECT_GE(hipsWithin, total["Hipped"] * 8 / 10);
  for (const auto& [truth, row] : confusion) {
    std::cout << truth << " (" << total[truth] << "):";
    for (const auto& [fitted, n] : row) std::cout << " " << fitted << "=" << n;
    std::cout << " | ridge dir " << ridgeOk[truth] << " | eave " << eaveOk[truth] << " | ridge " << ridgeZOk[truth]
              << "\n";
    const double n = total[truth];
    EXPECT_GE((row.count(truth) ? row.at(truth) : 0) / n, 0.9) << truth;
    EXPECT_GE(eaveOk[truth] / n, 0.8) << truth;
    if (truth == "Flat") continue;
    EXPECT_GE(ridgeOk[truth] / n, 0.95) << truth;
    EXPECT_GE(ridgeZOk[truth] / n, 0.7) << truth;
  }
}

}  // namespace
}  // namespace kl::buildings::lod2fit
