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

constexpr uint16_t kRecord = 30;

std::vector<uint8_t> pointsWithTimes(const std::vector<uint64_t>& timeBits) {
  std::vector<uint8_t> records(timeBits.size() * kRecord, 0);
  for (size_t i = 0; i < timeBits.size(); ++i) {
    uint8_t* p = &records[i * kRecord];
    storeLe<int32_t>(p, static_cast<int32_t>(i));
    p[14] = 0x11;
    storeLe<uint64_t>(p + 22, timeBits[i]);
  }
  return records;
}

uint64_t bitsOf(double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

TEST(Point14GpsTime, EveryMultiplierClassAndSequenceSwitch) {
  std::vector<uint64_t> t;
  const double bases[3] = {2.0e5, 4.0e8, 1.0};
  double now[3] = {bases[0], bases[1], bases[2]};
  const double steps[] = {1e-5, 1e-5, 2e-5, 3.7e-4, 9e-2, 5.0, -1e-5, -5e-5, -1e-3, 1e-12, 1e-5, 1e-5};
  std::mt19937 rng(9);
  for (int i = 0; i < 6000; ++i) {
    const auto seq = static_cast<size_t>((i / 40) % 3);
    now[seq] += steps[static_cast<size_t>(rng() % 12)];
    t.push_back(bitsOf(now[seq]));
    if (i % 500 == 499) now[seq] = static_cast<double>(rng());  // start of a new sequence
  }
  expectRoundTrip(pointsWithTimes(t), 6, kRecord, 50000, "point14_gps_multipliers");
}

TEST(Point14GpsTime, SignedZeroAndNaNPayloadsAreKeptBitForBit) {
  // A comparison of doubles would call -0.0 "unchanged" and lose its sign; bits must decide.
  const uint64_t nanA = 0x7FF8000000000001ull, nanB = 0x7FF8000000000002ull;
  std::vector<uint64_t> t = {bitsOf(0.0), bitsOf(-0.0), bitsOf(0.0),   nanA, nanA, nanB,
                             bitsOf(std::numeric_limits<double>::infinity()), bitsOf(-0.0), 0, 1, 0xFFFFFFFFFFFFFFFFull};
  expectRoundTrip(pointsWithTimes(t), 6, kRecord, 50000, "point14_gps_special");
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
