#include "geodata/axis_rule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

void expectNear(Point2d a, Point2d b, double tolerance = 1e-6) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
}

TEST(AxisRule, Pl1992UrnIsNorthingFirst) {
  const AxisRule rule = AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::2180");
  EXPECT_EQ(rule.epsg, 2180);
  EXPECT_TRUE(rule.declaredNorthingFirst);
  expectNear(rule.toPl1992(5.1e5, 2.6e5), {2.6e5, 5.1e5});
}

TEST(AxisRule, UnknownCrsIsTakenAsPl1992EastingFirst) {
  expectNear(AxisRule::fromSrsName("EPSG:3857").toPl1992(1.0, 2.0), {1.0, 2.0});
  expectNear(AxisRule::fromSrsName("").toPl1992(1.0, 2.0), {1.0, 2.0});
}

TEST(AxisRule, OnlyTheUrnAndDefCrsFormsAreNorthingFirst) {
  const std::pair<const char*, bool> cases[] = {
      {"urn:ogc:def:crs:EPSG::2180", true},
      {"urn:x-ogc:def:crs:EPSG:2180", true},
      {"http://www.opengis.net/def/crs/EPSG/0/2180", true},
      {"EPSG:2180", false},
      {"http://www.opengis.net/gml/srs/epsg.xml#2180", false},
      {"urn:ogc:def:crs:EPSG::2177", true},
      {"EPSG:2177", false},
      {"", false},
  };
  for (const auto& [name, northingFirst] : cases) {
    EXPECT_EQ(AxisRule::fromSrsName(name).declaredNorthingFirst, northingFirst) << name;
  }
}

TEST(AxisRule, Zone7EastingIsRecognisedByItsMillions) {
  const Point2d expected = pl2000ToPl1992(7499000.0, 5780000.0, 2178);
  // Declared northing first, but only the first value starts with 7.
  expectNear(AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::2178").toPl1992(7499000.0, 5780000.0),
             expected);
  expectNear(AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::2178").toPl1992(5780000.0, 7499000.0),
             expected);
  expectNear(AxisRule::fromSrsName("EPSG:2178").toPl1992(5780000.0, 7499000.0), expected);
}

TEST(AxisRule, InZones5And6TheDeclarationDecides) {
  // Both values start with 5 in zone 5.
  const AxisRule northFirst = AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::2176");
  expectNear(northFirst.toPl1992(5600000.0, 5450000.0), pl2000ToPl1992(5450000.0, 5600000.0, 2176));
  const AxisRule shortForm = AxisRule::fromSrsName("EPSG:2177");
  expectNear(shortForm.toPl1992(6550000.0, 6100000.0), pl2000ToPl1992(6550000.0, 6100000.0, 2177));
}

TEST(AxisRule, GeographicPositionsAreProjectedWhicheverOrderTheyCome) {
  const Point2d expected = wgs84ToPl1992(52.169, 20.859);
  const AxisRule urn = AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::4326");
  expectNear(urn.toPl1992(52.169, 20.859), expected);
  expectNear(urn.toPl1992(20.859, 52.169), expected);
  const AxisRule legacy = AxisRule::fromSrsName("http://www.opengis.net/gml/srs/epsg.xml#4326");
  EXPECT_FALSE(legacy.declaredLatitudeFirst);
  expectNear(legacy.toPl1992(20.859, 52.169), expected);
}

TEST(AxisRule, NonFiniteOrHugeGridValuesDoNotBreakTheZoneTest) {
  const AxisRule rule = AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::2178");
  const Point2d p = rule.toPl1992(1e300, -1e300);
  EXPECT_FALSE(std::isfinite(p.x) && std::abs(p.x) < 1e7);
}

}  // namespace
}  // namespace kl::geo
