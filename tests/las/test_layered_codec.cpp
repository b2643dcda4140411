#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/las/test_layered_support.h"

namespace kl::las::testing {
namespace {

// First record index at which two record arrays differ, or -1.
int64_t firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, size_t recordLength) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<int64_t>(i / recordLength);
  }
  return a.size() == b.size() ? -1 : static_cast<int64_t>(n / recordLength);
}

struct SampleCase {
  const char* file;
  uint8_t format;
  uint64_t points;
  size_t chunks;
};

class LayeredSample : public ::testing::TestWithParam<SampleCase> {};

TEST_P(LayeredSample, DecodesLikeTheOracle) {
  const SampleCase& s = GetParam();
  const std::vector<uint8_t> file = readBytes(samplePath(s.file));
  ASSERT_FALSE(file.empty());
  LayeredLaz laz;
  std::string error;
  ASSERT_TRUE(parseLayeredLaz(file, &laz, &error)) << error;
  EXPECT_EQ(laz.pointFormat, s.format);
  EXPECT_EQ(laz.pointCount, s.points);
  EXPECT_EQ(laz.chunks.size(), s.chunks);
  std::vector<uint8_t> ours;
  ASSERT_TRUE(decodeLayered(file, laz, &ours, &error)) << error;
  std::vector<uint8_t> expected;
  ASSERT_TRUE(oracleDecode(samplePath(s.file), s.file, &expected));
  ASSERT_EQ(expected.size(), laz.pointCount * laz.recordLength);
  EXPECT_EQ(firstDifference(ours, expected, laz.recordLength), -1);
}

INSTANTIATE_TEST_SUITE_P(Samples, LayeredSample,
                         ::testing::Values(SampleCase{"laspy__1_4_w_evlr.laz", 6, 1000, 1},
                                           SampleCase{"laspy__append-bug.laz", 8, 37805, 1},
                                           SampleCase{"laspy__simple.copc.laz", 7, 1065, 65},
                                           SampleCase{"laszip4j__record-format-7.laz", 7, 62, 1},
                                           SampleCase{"laszip4j__record-format-8.laz", 8, 62, 1}),
                         [](const auto& param) {
                           std::string name = param.param.file;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace kl::las::testing
