#include "geodata/polish_crs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

namespace kl::geo {
namespace {

TEST(PolishCrs, RoundTripsStayBelowAMicrometreOverPoland) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> lat(48.5, 55.3);
  std::uniform_real_distribution<double> lon(13.3, 24.9);
  double worst = 0.0;
  for (int i = 0; i < 20000; ++i) {
    const double la = lat(rng);
    const double lo = lon(rng);
    const Point2d p92 = wgs84ToPl1992(la, lo);
    const LatLon back = pl1992ToWgs84(p92.x, p92.y);
    const Point2d again = wgs84ToPl1992(back.lat, back.lon);
    worst = std::max(worst, std::hypot(again.x - p92.x, again.y - p92.y));
    const int zone = pl2000EpsgForLongitude(lo);
    const Point2d p2000 = pl1992ToPl2000(p92.x, p92.y, zone);
    const Point2d p92back = pl2000ToPl1992(p2000.x, p2000.y, zone);
    worst = std::max(worst, std::hypot(p92back.x - p92.x, p92back.y - p92.y));
    const LatLon g2000 = pl2000ToWgs84(p2000.x, p2000.y, zone);
    EXPECT_NEAR(g2000.lat, la, 1e-10);
    EXPECT_NEAR(g2000.lon, lo, 1e-10);
  }
  EXPECT_LT(worst, 1e-6);
}

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
  EXPECT_EQ(affine.sourceCenterX, 431000.0);
  EXPECT_EQ(affine.sourceCenterY, 371000.0);
  const Point2d exactCentre = pl1992ToPl2000(431000.0, 371000.0, 2177);
  EXPECT_EQ(affine.targetCenterX, exactCentre.x);
  EXPECT_EQ(affine.targetCenterY, exactCentre.y);
  // The scale of both grids is close to 1, so the columns are near unit.
  EXPECT_NEAR(std::hypot(affine.dxPerSourceX, affine.dyPerSourceX), 1.0, 1e-3);
  for (const Point2d p : {Point2d{430000.0, 370000.0}, Point2d{432000.0, 372000.0},
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
    EXPECT_GE(p.x, box.minX);
    EXPECT_LE(p.x, box.maxX);
    EXPECT_GE(p.y, box.minY);
    EXPECT_LE(p.y, box.maxY);
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
