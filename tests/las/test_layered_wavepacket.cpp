#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "tests/las/test_layered_support.h"

namespace kl::las::testing {
namespace {

// laz-perf cannot read wave packets, so the format 10 sample is checked in two halves:
// its point and colour layers by the oracle (on a copy with the wave packet item cut out of
// every chunk) and its wave packets by their own consistency over all 10750 points.
constexpr uint16_t kFullRecord = 67;
constexpr uint16_t kCore = 38;  // point 30 + colour and near infrared 8

class FullWaveSample : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = readFile(sample("laspy__fullwave.laz"));
    std::string error;
    ASSERT_TRUE(parseLayeredLaz(file_, &laz_, &error)) << error;
    ASSERT_EQ(laz_.pointFormat, 10);
    ASSERT_EQ(laz_.recordLength, kFullRecord);
    ASSERT_TRUE(decodeLayered(file_, laz_, &records_, &error)) << error;
  }
  std::vector<uint8_t> file_;
  LayeredLaz laz_;
  std::vector<uint8_t> records_;
};

TEST_F(FullWaveSample, PointAndColourLayersMatchTheOracle) {
  // 9 point layers + 2 colour layers precede the wave packet layer in each chunk.
  constexpr size_t kKeptLayers = 11;
  std::vector<std::vector<uint8_t>> chunks;
  std::vector<uint32_t> counts;
  for (const LayeredChunk& c : laz_.chunks) {
    const uint8_t* src = &file_[c.offset];
    std::vector<uint8_t> out(src, src + kCore);
    const uint8_t* sizes = src + kFullRecord + 4;
    appendLe<uint32_t>(&out, loadLe<uint32_t>(src + kFullRecord));
    size_t kept = 0;
    for (size_t i = 0; i < kKeptLayers; ++i) {
      appendLe<uint32_t>(&out, loadLe<uint32_t>(sizes + 4 * i));
      kept += loadLe<uint32_t>(sizes + 4 * i);
    }
    const uint8_t* layers = sizes + 4 * (kKeptLayers + 1);
    out.insert(out.end(), layers, layers + kept);
    chunks.push_back(out);
    counts.push_back(static_cast<uint32_t>(c.points));
  }
  const std::vector<LaszipItem> items{{10, 30, 3}, {12, 8, 3}};
  const std::string path = test::tempFile("layered_fullwave_core.laz");
  writeFile(path, assembleLayeredLaz(8, kCore, items, laz_.info.chunkSize, false, chunks, counts));
  std::vector<uint8_t> expected;
  ASSERT_TRUE(test::lazPerfDecode(path, &expected));
  ASSERT_EQ(expected.size(), laz_.pointCount * kCore);
  for (uint64_t i = 0; i < laz_.pointCount; ++i) {
    ASSERT_TRUE(std::equal(expected.begin() + static_cast<std::ptrdiff_t>(i * kCore),
                           expected.begin() + static_cast<std::ptrdiff_t>((i + 1) * kCore),
                           records_.begin() + static_cast<std::ptrdiff_t>(i * kFullRecord)))
        << "point " << i;
  }
}

TEST_F(FullWaveSample, WavePacketsFormOneContiguousWaveformRecord) {
  // Returns of one pulse share a waveform; the next pulse's waveform follows directly.
  uint64_t sharedOffsets = 0;
  for (uint64_t i = 0; i < laz_.pointCount; ++i) {
    const uint8_t* p = &records_[i * kFullRecord + kCore];
    ASSERT_EQ(p[0], 1) << "descriptor index at point " << i;
    ASSERT_EQ(loadLe<uint32_t>(p + 9), 4968u) << "packet size at point " << i;
    const float returnPoint = loadLe<float>(p + 13);
    ASSERT_TRUE(returnPoint > 4.0e5f && returnPoint < 7.0e5f) << "return point location at point " << i;
    if (i == 0) {
      EXPECT_EQ(loadLe<uint64_t>(p + 1), 60u);
      continue;
    }
    const uint8_t* q = p - kFullRecord;
    const uint64_t offset = loadLe<uint64_t>(p + 1), previous = loadLe<uint64_t>(q + 1);
    ASSERT_TRUE(offset == previous || offset == previous + loadLe<uint32_t>(q + 9)) << "offset at point " << i;
    sharedOffsets += offset == previous ? 1 : 0;
  }
  EXPECT_GT(sharedOffsets, 1000u);
}

}  // namespace
}  // namespace kl::las::testing
