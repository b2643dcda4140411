// Coordinates: lists read as C reads numbers, whatever the locale (GML 2
// tuples with their own separators are the parser tests'), the names a
// document gives the systems (the EPSG code they hold and the axis order they
// declare) and the Polish grids' own rules.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "geodata/axis_rule.h"
#include "geodata/coordinate_text.h"
#include "geodata/epsg_code.h"
#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

// The library parser is the oracle: every form, short plain decimals of every
// digit count and point position included, reads to its very double.
TEST(CoordinateText, EveryDecimalReadsAsTheLibraryParserReadsIt) {
  std::vector<std::string> texts = {"-0", "0.000", "5.", ".5", "-.5", "007.10", "1.5e3", "12.5E-1", "-999999999999999",
                                    "9999999999999999", "0.1234567890123456789", "1.2.3"};
  std::mt19937_64 random(19);
  for (int i = 0; i < 200000; ++i) {
    std::string digits = std::to_string(random() % 1000000000000000000ull).substr(0, 1 + random() % 17);
    const std::size_t point = random() % (digits.size() + 1);
    if (point < digits.size()) digits.insert(point, ".");
    texts.push_back((random() % 2 ? "-" : "") + digits);
  }
  for (const std::string& text : texts) {
    double want = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), want);
    std::vector<double> got;
    const bool whole = readNumbers(text, got);
    ASSERT_EQ(whole, r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
    if (whole) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(got.at(0)), std::bit_cast<std::uint64_t>(want)) << text;
    }
  }
}

// Any white space and C syntax; the first bad token stops the reading, and says so.
TEST(CoordinateText, ReadsUpToTheFirstBadToken) {
  const std::tuple<const char*, std::vector<double>, bool> cases[] = {
      {" 1.5\t-2e3\n\r+3 4 ", {1.5, -2000.0, 3.0, 4.0}, true}, {"", {}, true}, {"1 2 3,5 4", {1.0, 2.0}, false},
      {"1 nan 2", {1.0}, false}, {"1 inf", {1.0}, false}, {"1e999", {}, false}};
  for (const auto& [text, read, whole] : cases) {
    std::vector<double> out;
    EXPECT_EQ(readNumbers(text, out), whole) << text;
    EXPECT_EQ(out, read) << text;
  }
}

// A Polish code found in free text, and any code from the srsName forms.
TEST(EpsgCode, FoundInFreeTextAndInSrsNames) {
  const std::pair<const char*, int> rows[] = {
      {"urn:ogc:def:crs:EPSG::2180", 2180}, {"EPSG:2180", 2180},  {"ETRF2000-PL / CS92 (2180)", 2180},
      {"PL-2000 2177 then 2176", 2176},     {"2179 2178", 2178},  {"EPSG:21781", 0},
      {"EPSG:121780", 0},                   {"EPSG:21781 and EPSG:2178", 2178},
      {"x2178y", 2178},                     {"2176", 2176},       {"EPSG:4326", 0}, {"", 0}};
  for (const auto& [text, code] : rows) EXPECT_EQ(findPolishEpsg(text), code) << text;
  const std::pair<const char*, int> srsNames[] = {
      {"urn:ogc:def:crs:EPSG::2180", 2180}, {"EPSG:2177", 2177}, {"EPSG:21781", 21781},
      {"http://www.opengis.net/def/crs/EPSG/0/2178", 2178}, {"urn:ogc:def:crs:EPSG:6.3:2180", 2180},
      {"http://www.opengis.net/gml/srs/epsg.xml#4326", 4326}, {"EPSG:99999999999999999999", 0},
      {"EPSG:2180:99999999999999999999", 2180}, {"2180", 0}, {"EPSG", 0}, {"EPSG:0", 0}, {"", 0},
      {"urn:ogc:def:crs,crs:EPSG::2177,crs:EPSG::9651", 2177}, {"EPSG:2180+9651", 2180}};
  for (const auto& [text, code] : srsNames) EXPECT_EQ(epsgFromSrsName(text), code) << text;
}

TEST(AxisRule, PositionsComeToPl1992WhicheverOrderTheyArrive) {
  const Point2d zone7 = pl2000ToPl1992(7499000.0, 5780000.0, 2178);
  const Point2d warsaw = wgs84ToPl1992(52.169, 20.859);
  const struct {
    const char* why;
    const char* srsName;
    double a, b;
    Point2d expected;
  } rows[] = {
      // PL-1992's urn, short and epsg.xml forms are compared with GDAL in the GML oracle test.
      {"the x-ogc urn is northing first", "urn:x-ogc:def:crs:EPSG:2180", 5.1e5, 2.6e5, {2.6e5, 5.1e5}},
      {"and the def/crs address", "http://www.opengis.net/def/crs/EPSG/0/2180", 5.1e5, 2.6e5, {2.6e5, 5.1e5}},
      {"an unknown system is PL-1992 easting first", "EPSG:3857", 1.0, 2.0, {1.0, 2.0}},
      {"no system at all likewise", "", 1.0, 2.0, {1.0, 2.0}},
      // Declared northing first, but only the first value starts with 7.
      {"zone 7 easting by its millions", "urn:ogc:def:crs:EPSG::2178", 7499000.0, 5780000.0, zone7},
      {"zone 7 as declared", "urn:ogc:def:crs:EPSG::2178", 5780000.0, 7499000.0, zone7},
      {"zone 7 short form swapped", "EPSG:2178", 5780000.0, 7499000.0, zone7},
      // Both values start with 5 in zone 5: the declaration decides.
      {"zone 5 urn", "urn:ogc:def:crs:EPSG::2176", 5600000.0, 5450000.0, pl2000ToPl1992(5450000.0, 5600000.0, 2176)},
      {"zone 6 short form", "EPSG:2177", 6550000.0, 6100000.0, pl2000ToPl1992(6550000.0, 6100000.0, 2177)},
      {"geographic urn", "urn:ogc:def:crs:EPSG::4326", 52.169, 20.859, warsaw},
      {"geographic urn swapped", "urn:ogc:def:crs:EPSG::4326", 20.859, 52.169, warsaw},
      {"geographic legacy form", "http://www.opengis.net/gml/srs/epsg.xml#4326", 20.859, 52.169, warsaw},
  };
  for (const auto& r : rows) {
    const Point2d p = AxisRule::fromSrsName(r.srsName).toPl1992(r.a, r.b);
    EXPECT_NEAR(p.x, r.expected.x, 1e-6) << r.why;
    EXPECT_NEAR(p.y, r.expected.y, 1e-6) << r.why;
  }
  // Non-finite or huge grid values do not break the zone test.
  const Point2d huge = AxisRule::fromSrsName("urn:ogc:def:crs:EPSG::2178").toPl1992(1e300, -1e300);
  EXPECT_FALSE(std::isfinite(huge.x) && std::abs(huge.x) < 1e7);
}

TEST(PolishCrs, ZoneByLongitudeChangesAtTheHalfDegrees) {
  const std::pair<double, int> rows[] = {{5.0, 2176},     {16.4999, 2176}, {16.5, 2177}, {19.4999, 2177},
                                         {19.5, 2178},    {22.4999, 2178}, {22.5, 2179}, {30.0, 2179}};
  for (const auto& [lon, epsg] : rows) EXPECT_EQ(pl2000EpsgForLongitude(lon), epsg) << lon;
}

TEST(PolishCrs, LocalAffineAndPl2000BoxOfAFrame) {
  const LocalAffine affine = localAffinePl1992ToPl2000({430000.0, 370000.0, 432000.0, 372000.0}, 2177);
  for (const Point2d p : {Point2d{431000.0, 371000.0}, Point2d{430000.0, 370000.0}, Point2d{432000.0, 372000.0},
                          Point2d{431500.0, 370250.0}}) {
    const Point2d exact = pl1992ToPl2000(p.x, p.y, 2177);
    const Point2d approx = affine.apply(p);
    EXPECT_LT(std::hypot(exact.x - approx.x, exact.y - approx.y), 5e-3);
  }
  // The PL-2000 box of a frame covers all four converted corners.
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
