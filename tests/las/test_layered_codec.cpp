#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/las/test_layered_support.h"

namespace kl::las::testing {
namespace {

// Every layered sample, chunk by chunk (their records are compared with laz-perf in the
// oracle test): our encoder turns them back into the very bytes the original writer stored
// (same models, same layer choices), which pins down the wave packet item that laz-perf
// cannot read.
struct SampleCase {
  const char* file;
  uint8_t format;
  uint64_t points;
  size_t chunks;
};

class LayeredSample : public ::testing::TestWithParam<SampleCase> {
 protected:
  void SetUp() override {
    const SampleCase& s = GetParam();
    file_ = readFile(sample(s.file));
    ASSERT_FALSE(file_.empty());
    std::string error;
    ASSERT_TRUE(parseLayeredLaz(file_, &laz_, &error)) << error;
    ASSERT_EQ(laz_.pointFormat, s.format);
    ASSERT_EQ(laz_.pointCount, s.points);
    ASSERT_EQ(laz_.chunks.size(), s.chunks);
  }
  std::vector<uint8_t> file_;
  LayeredLaz laz_;
};

TEST_P(LayeredSample, ReencodesToTheStoredBytes) {
  for (size_t i = 0; i < laz_.chunks.size(); ++i) {
    const LayeredChunk& c = laz_.chunks[i];
    const uint8_t* stored = &file_[c.offset];
    std::vector<uint8_t> records(c.points * laz_.recordLength);
    std::string error;
    ASSERT_TRUE(decodeLayeredChunk(stored, c.bytes, laz_.info.items, laz_.recordLength, c.points, records.data(),
                                   &error))
        << error;
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(encodeLayeredChunk(records.data(), c.points, laz_.info.items, laz_.recordLength, &encoded, &error))
        << error;
    ASSERT_EQ(encoded.size(), c.bytes) << "chunk " << i;
    EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), stored)) << "chunk " << i;
  }
}

// A reader that asks only for position and colour (or intensity) gets those exactly as a
// full decode does, while a skipped field (GPS time) stays at the chunk's first point.
TEST_P(LayeredSample, DecodesOnlyTheFieldsAskedFor) {
  const uint32_t rl = laz_.recordLength;
  const bool colour = formatHasRgb(laz_.pointFormat);
  const RecordField kept = colour ? RecordField::Colour : RecordField::Intensity;
  const size_t keptAt = colour ? 30 : 12, keptSize = colour ? 6 : 2;
  bool gpsTimeSkipped = false;
  for (const LayeredChunk& c : laz_.chunks) {
    std::vector<uint8_t> full(c.points * rl), some(c.points * rl);
    std::string error;
    ASSERT_TRUE(decodeLayeredChunk(&file_[c.offset], c.bytes, laz_.info.items, rl, c.points, full.data(), &error));
    ASSERT_TRUE(decodeLayeredChunk(&file_[c.offset], c.bytes, laz_.info.items, rl, c.points, some.data(), &error,
                                   RecordFields::positionOnly().with(kept)));
    for (uint64_t i = 0; i < c.points; ++i) {
      const uint8_t* f = &full[i * rl];
      const uint8_t* s = &some[i * rl];
      ASSERT_TRUE(std::equal(f, f + 12, s) && f[14] == s[14]) << "position of point " << i;
      ASSERT_TRUE(std::equal(f + keptAt, f + keptAt + keptSize, s + keptAt)) << "point " << i;
      ASSERT_TRUE(std::equal(s + 22, s + 30, &some[22])) << "GPS time of point " << i;
      gpsTimeSkipped = gpsTimeSkipped || !std::equal(f + 22, f + 30, s + 22);
    }
  }
  EXPECT_TRUE(gpsTimeSkipped || laz_.pointCount < 100) << "no GPS time changed: the table needs another sample";
}

INSTANTIATE_TEST_SUITE_P(Samples, LayeredSample,
                         ::testing::Values(SampleCase{"laspy__1_4_w_evlr.laz", 6, 1000, 1},
                                           SampleCase{"laspy__append-bug.laz", 8, 37805, 1},
                                           SampleCase{"laspy__simple.copc.laz", 7, 1065, 65},
                                           SampleCase{"laszip4j__record-format-7.laz", 7, 62, 1},
                                           SampleCase{"laszip4j__record-format-8.laz", 8, 62, 1},
                                           SampleCase{"laspy__fullwave.laz", 10, 10750, 1}),
                         [](const auto& param) { return testNameOf(param.param.file); });

}  // namespace
}  // namespace kl::las::testing
