#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "tests/las/test_layered_support.h"

namespace kl::las::testing {
namespace {

struct LasCase {
  const char* file;
  uint8_t format;
  uint16_t recordLength;
  uint32_t chunkSize;
};

class LayeredLasRoundTrip : public ::testing::TestWithParam<LasCase> {};

TEST_P(LayeredLasRoundTrip, OracleReadsWhatWeWrite) {
  const LasCase& c = GetParam();
  const test::Decoded in = test::decodeFile(sample(c.file));
  ASSERT_TRUE(in.status.ok) << in.status.message;
  ASSERT_EQ(in.header.pointFormat, c.format);
  ASSERT_EQ(in.header.recordLength, c.recordLength);
  expectRoundTrip(in.records, c.format, c.recordLength, c.chunkSize, c.file);
}

INSTANTIATE_TEST_SUITE_P(Samples, LayeredLasRoundTrip,
                         ::testing::Values(LasCase{"lazperf__rand1_6.las", 6, 30, 20000},
                                           LasCase{"pdal__las_test1_4.las", 6, 30, 50000},
                                           LasCase{"pdal__las_wontcompress3.las", 6, 30, 333},
                                           LasCase{"laspy__simple1_4.las", 7, 36, 10000},
                                           LasCase{"laszip__5points_14.las", 6, 33, 50000},
                                           LasCase{"laspy__unregistered_extra_bytes.las", 6, 34, 3}),
                         [](const auto& param) { return testNameOf(param.param.file); });

// Records that exercise what the samples do not: several scanner channels (the first point
// not on channel 0), time jumps between sequences, every return combination, changing
// colours, near infrared and extra bytes.
std::vector<uint8_t> syntheticRecords(uint8_t format, uint16_t recordLength, uint32_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  auto next = [&rng]() { return static_cast<uint32_t>(rng()); };
  std::vector<uint8_t> out(static_cast<size_t>(count) * recordLength);
  double times[3] = {1.0e5, 3.5e8, -2.0};
  uint32_t channel = 2;
  int32_t x = 1000, y = -5000, z = 300;
  uint16_t rgb[4] = {100, 200, 300, 400};
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* p = &out[static_cast<size_t>(i) * recordLength];
    const uint32_t r = next();
    if (r % 7 == 0) channel = next() % 4;
    x += static_cast<int32_t>(next() % 200) - 100;
    y += static_cast<int32_t>(next() % 50);
    z = (r % 11 == 0) ? static_cast<int32_t>(next()) : z + static_cast<int32_t>(next() % 9) - 4;
    storeLe<int32_t>(p, x + static_cast<int32_t>(channel) * 100000);
    storeLe<int32_t>(p + 4, y);
    storeLe<int32_t>(p + 8, z);
    storeLe<uint16_t>(p + 12, static_cast<uint16_t>(r % 3 == 0 ? next() : 77));
    const uint32_t n = next() % 16;  // 0 too: a count of returns the scanner left out
    p[14] = static_cast<uint8_t>((r % 13 == 0 || n == 0 ? next() % 16 : 1 + next() % n) | (n << 4));
    p[15] = static_cast<uint8_t>((next() % 16) | (channel << 4) | ((r >> 8) & 0xC0));
    p[16] = static_cast<uint8_t>(r % 5 == 0 ? next() : 2);
    p[17] = static_cast<uint8_t>(r % 17 == 0 ? next() : 0);
    storeLe<int16_t>(p + 18, static_cast<int16_t>(r % 4 == 0 ? static_cast<int32_t>(next() % 30000) - 15000 : -15));
    storeLe<uint16_t>(p + 20, static_cast<uint16_t>(r % 19 == 0 ? next() : 11));
    double& t = times[next() % 3];
    if (r % 23 == 0) {
      t = static_cast<double>(next()) * 1.0e3;  // a jump that needs a full time
    } else if (r % 2 == 0) {
      t += 1.0e-5 * static_cast<double>(1 + next() % 3);
    }
    storeLe<double>(p + 22, t);
    size_t at = 30;
    if (format == 7 || format == 8) {
      if (r % 3 == 0) {
        for (auto& c : rgb) c = static_cast<uint16_t>(c + next() % 600);
      }
      if (r % 29 == 0) rgb[1] = rgb[2] = rgb[0];
      for (int k = 0; k < (format == 8 ? 4 : 3); ++k) storeLe<uint16_t>(p + at + 2 * k, rgb[k]);
      at += format == 8 ? 8 : 6;
    }
    for (size_t k = at; k < recordLength; ++k) p[k] = static_cast<uint8_t>(k == at ? (i & 0xFF) : next() % 3);
  }
  return out;
}

TEST(LayeredRoundTrip, SyntheticRecordsOfEveryFormatWithFixedAndVariableChunks) {
  struct Case {
    uint8_t format;
    uint16_t recordLength;  // beyond the standard length: extra bytes
    uint32_t count, chunkSize;
    std::vector<uint32_t> variableCounts;
  };
  const Case cases[] = {{6, 30, 20000, 5000, {}},
                        {7, 40, 20000, 7000, {}},
                        {8, 43, 30000, 50000, {}},
                        {8, 39, 3003, 0, {1, 1000, 1, 2000, 1}}};  // single-point chunks among large ones
  uint32_t seed = 0;
  for (const Case& c : cases) {
    const std::string tag = "synthetic" + std::to_string(++seed);
    expectRoundTrip(syntheticRecords(c.format, c.recordLength, c.count, seed), c.format, c.recordLength,
                    c.chunkSize, tag, c.variableCounts);
  }
}

TEST(LayeredRoundTrip, ConstantFieldsLeaveTheirLayersEmpty) {
  std::vector<uint8_t> records(100 * 36, 0);
  for (uint32_t i = 0; i < 100; ++i) {
    uint8_t* p = &records[i * 36];
    storeLe<int32_t>(p, static_cast<int32_t>(i * 10));
    p[14] = 0x11;
    p[15] = 0x10;  // channel 1 throughout: the colour item switches context on the second point
    storeLe<uint16_t>(p + 30, 500);
    storeLe<uint16_t>(p + 32, 600);
    storeLe<uint16_t>(p + 34, 700);
  }
  std::vector<uint8_t> chunk;
  std::string error;
  ASSERT_TRUE(encodeLayeredChunk(records.data(), 100, layeredItems(7, 36), 36, &chunk, &error)) << error;
  // Layer sizes: 9 point layers, then colour. Only XY carries information.
  const uint8_t* sizes = chunk.data() + 36 + 4;
  EXPECT_GT(loadLe<uint32_t>(sizes), 0u);
  for (int i = 1; i < 10; ++i) EXPECT_EQ(loadLe<uint32_t>(sizes + 4 * i), 0u) << "layer " << i;
  expectRoundTrip(records, 7, 36, 50000, "constant");
}

}  // namespace
}  // namespace kl::las::testing
