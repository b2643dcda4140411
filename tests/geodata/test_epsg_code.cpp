#include "geodata/epsg_code.h"

#include <gtest/gtest.h>

#include <string>

namespace kl::geo {
namespace {

struct TextCase {
  std::string text;
  int expected;
};

class FindPolishEpsg : public ::testing::TestWithParam<TextCase> {};

TEST_P(FindPolishEpsg, Recognises) {
  EXPECT_EQ(findPolishEpsg(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FindPolishEpsg,
    ::testing::Values(TextCase{"urn:ogc:def:crs:EPSG::2180", 2180},
                      TextCase{"EPSG:2180", 2180},
                      TextCase{"ETRF2000-PL / CS92 (2180)", 2180},
                      TextCase{"PL-2000 2177 then 2176", 2176},
                      TextCase{"2179 2178", 2178},
                      TextCase{"EPSG:21781", 0},
                      TextCase{"EPSG:121780", 0},
                      TextCase{"EPSG:21781 and EPSG:2178", 2178},
                      TextCase{"x2178y", 2178},
                      TextCase{"2176", 2176},
                      TextCase{"EPSG:4326", 0},
                      TextCase{"", 0}));

class SrsName : public ::testing::TestWithParam<TextCase> {};

TEST_P(SrsName, GivesCode) {
  EXPECT_EQ(epsgFromSrsName(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SrsName,
    ::testing::Values(TextCase{"urn:ogc:def:crs:EPSG::2180", 2180},
                      TextCase{"EPSG:2177", 2177},
                      TextCase{"http://www.opengis.net/def/crs/EPSG/0/2178", 2178},
                      TextCase{"http://www.opengis.net/gml/srs/epsg.xml#4326", 4326},
                      TextCase{"urn:ogc:def:crs:EPSG:6.3:2180", 2180},
                      TextCase{"EPSG:21781", 21781},
                      TextCase{"EPSG:99999999999999999999", 0},
                      TextCase{"EPSG:2180:99999999999999999999", 2180},
                      TextCase{"2180", 0},
                      TextCase{"EPSG", 0},
                      TextCase{"EPSG:0", 0},
                      TextCase{"", 0}));

}  // namespace
}  // namespace kl::geo
