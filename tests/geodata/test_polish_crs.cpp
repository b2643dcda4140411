#include "geodata/polish_crs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace kl::geo {
namespace {

TEST(PolishCrs, ZoneByLongitudeChangesAtTheHalfDegrees) {
  const std::pair<double, int> rows[] = {{5.0, 2176},     {16.4999, 2176}, {16.5, 2177}, {19.4999, 2177},
                                         {19.5, 2178},    {22.4999, 2178}, {22.5, 2179}, {30.0, 2179}};
  for (const auto& [lon, epsg] : rows) EXPECT_EQ(pl2000EpsgForLongitude(lon), epsg) << lon;
}

TEST(PolishCrs, Pl2000OperationsRejectOtherCodes) {
  for (int bad : {0, 2175, 2180, 4326}) {
    try {
      (void)pl1992ToPl2000(500000.0, 500000.0, bad);
      ADD_FAILURE() << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Nieobslugiwany EPSG PL-2000");
    }
    EXPECT_THROW((void)pl2000ToPl1992(6500000.0, 5700000.0, bad), std::invalid_argument);
    EXPECT_THROW((void)pl2000ToWgs84(6500000.0, 5700000.0, bad), std::invalid_argument);
  }
}

TEST(PolishCrs, LocalAffineMatchesExactConversionNearCentre) {
  const Bbox box{430000.0, 370000.0, 432000.0, 372000.0};
  const LocalAffine affine = localAffinePl1992ToPl2000(box, 2177);
  for (const Point2d p : {Point2d{431000.0, 371000.0}, Point2d{430000.0, 370000.0}, Point2d{432000.0, 372000.0},
                          Point2d{431500.0, 370250.0}}) {
    const Point2d exact = pl1992ToPl2000(p.x, p.y, 2177);
    const Point2d approx = affine.apply(p);
    EXPECT_LT(std::hypot(exact.x - approx.x, exact.y - approx.y), 5e-3);
  }
}

TEST(PolishCrs, Pl2000BoxCoversAllFourConvertedCorners) {
  const Bbox frame{430000.0, 370000.0, 430500.0, 370500.0};
  const Bbox box = pl2000BoxFromPl1992(frame, 2178);
  for (const Point2d c : {Point2d{frame.minX, frame.minY}, Point2d{frame.maxX, frame.minY},
                          Point2d{frame.minX, frame.maxY}, Point2d{frame.maxX, frame.maxY}}) {
    const Point2d p = pl1992ToPl2000(c.x, c.y, 2178);
    EXPECT_TRUE(p.x >= box.minX && p.x <= box.maxX && p.y >= box.minY && p.y <= box.maxY) << c.x << " " << c.y;
  }
  // Grid convergence rotates the frame, so two corners alone give a smaller box.
  const Point2d ll = pl1992ToPl2000(frame.minX, frame.minY, 2178);
  const Point2d ur = pl1992ToPl2000(frame.maxX, frame.maxY, 2178);
  // About 14 m per side of a 500 m frame at 21 degrees east.
  const double twoCornerSpan = std::abs(ur.x - ll.x) + std::abs(ur.y - ll.y);
  EXPECT_GT((box.maxX - box.minX) + (box.maxY - box.minY), twoCornerSpan + 10.0);
}

}  // namespace
}  // namespace kl::geo
