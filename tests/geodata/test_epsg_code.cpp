#include "geodata/epsg_code.h"

#include <gtest/gtest.h>

namespace kl::geo {
namespace {

struct TextCase {
  const char* text;
  int expected;
};

TEST(EpsgCode, PolishCodeFoundInFreeText) {
  const TextCase rows[] = {
      {"urn:ogc:def:crs:EPSG::2180", 2180}, {"EPSG:2180", 2180},  {"ETRF2000-PL / CS92 (2180)", 2180},
      {"PL-2000 2177 then 2176", 2176},     {"2179 2178", 2178},  {"EPSG:21781", 0},
      {"EPSG:121780", 0},                   {"EPSG:21781 and EPSG:2178", 2178},
      {"x2178y", 2178},                     {"2176", 2176},       {"EPSG:4326", 0}, {"", 0}};
  for (const TextCase& r : rows) EXPECT_EQ(findPolishEpsg(r.text), r.expected) << r.text;
}

TEST(EpsgCode, AnyCodeFromTheSrsNameForms) {
  const TextCase rows[] = {{"urn:ogc:def:crs:EPSG::2180", 2180},
                           {"EPSG:2177", 2177},
                           {"http://www.opengis.net/def/crs/EPSG/0/2178", 2178},
                           {"http://www.opengis.net/gml/srs/epsg.xml#4326", 4326},
                           {"urn:ogc:def:crs:EPSG:6.3:2180", 2180},
                           {"EPSG:21781", 21781},
                           {"EPSG:99999999999999999999", 0},
                           {"EPSG:2180:99999999999999999999", 2180},
                           {"2180", 0}, {"EPSG", 0}, {"EPSG:0", 0}, {"", 0}};
  for (const TextCase& r : rows) EXPECT_EQ(epsgFromSrsName(r.text), r.expected) << r.text;
}

}  // namespace
}  // namespace kl::geo
