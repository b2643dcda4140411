#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "tests/las/test_layered_support.h"

namespace kl::las::testing {
namespace {

// Records that exercise what real files rarely do: several scanner channels (the first point
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

std::vector<uint8_t> pointsWithTimes(const std::vector<uint64_t>& timeBits) {
  std::vector<uint8_t> records(timeBits.size() * 30, 0);
  for (size_t i = 0; i < timeBits.size(); ++i) {
    storeLe<int32_t>(&records[i * 30], static_cast<int32_t>(i));
    records[i * 30 + 14] = 0x11;
    storeLe<uint64_t>(&records[i * 30 + 22], timeBits[i]);
  }
  return records;
}

uint64_t bitsOf(double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

TEST(Point14GpsTime, EveryMultiplierClassSequenceSwitchAndSpecialValueIsKeptBitForBit) {
  std::vector<uint64_t> t;
  double now[3] = {2.0e5, 4.0e8, 1.0};
  const double steps[] = {1e-5, 1e-5, 2e-5, 3.7e-4, 9e-2, 5.0, -1e-5, -5e-5, -1e-3, 1e-12, 1e-5, 1e-5};
  std::mt19937 rng(9);
  for (int i = 0; i < 6000; ++i) {
    const auto seq = static_cast<size_t>((i / 40) % 3);
    now[seq] += steps[static_cast<size_t>(rng() % 12)];
    t.push_back(bitsOf(now[seq]));
    if (i % 500 == 499) now[seq] = static_cast<double>(rng());  // start of a new sequence
  }
  expectRoundTrip(pointsWithTimes(t), 6, 30, 50000, "point14_gps_multipliers");
  // A comparison of doubles would call -0.0 "unchanged" and lose its sign; bits must decide.
  const uint64_t nanA = 0x7FF8000000000001ull, nanB = 0x7FF8000000000002ull;
  t = {bitsOf(0.0), bitsOf(-0.0), bitsOf(0.0), nanA, nanA, nanB, bitsOf(std::numeric_limits<double>::infinity()),
       bitsOf(-0.0), 0, 1, 0xFFFFFFFFFFFFFFFFull};
  expectRoundTrip(pointsWithTimes(t), 6, 30, 50000, "point14_gps_special");
}

TEST(Point14ContextFix, NewerItemVersionRoundTrips) {
  // Version 4 hands the current channel to every item on every point. laz-perf reads version 4
  // items as version 3, so only our own pair can check it.
  std::vector<uint8_t> records(4000 * 36, 0);
  std::mt19937 rng(3);
  uint32_t channel = 1;
  for (size_t i = 0; i < 4000; ++i) {
    uint8_t* p = &records[i * 36];
    if (rng() % 5 == 0) channel = rng() % 4;
    storeLe<int32_t>(p, static_cast<int32_t>(rng() % 1000));
    p[14] = 0x11;
    p[15] = static_cast<uint8_t>(channel << 4);
    storeLe<uint16_t>(p + 30, static_cast<uint16_t>(channel * 1000 + rng() % 3));
    storeLe<uint16_t>(p + 32, static_cast<uint16_t>(rng() % 7));
    storeLe<uint16_t>(p + 34, static_cast<uint16_t>(channel));
  }
  for (uint16_t version : {uint16_t{3}, uint16_t{4}}) {
    const std::vector<LaszipItem> items{{10, 30, version}, {11, 6, version}};
    std::vector<uint8_t> chunk, back(records.size());
    std::string error;
    ASSERT_TRUE(encodeLayeredChunk(records.data(), 4000, items, 36, &chunk, &error)) << error;
    ASSERT_TRUE(decodeLayeredChunk(chunk.data(), chunk.size(), items, 36, 4000, back.data(), &error)) << error;
    EXPECT_TRUE(back == records) << "version " << version;
  }
}

}  // namespace
}  // namespace kl::las::testing
