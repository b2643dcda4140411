// Records written by our writer and read back by our reader (on one and two threads) and by
// laz-perf: the records of the samples, and synthetic ones for what real files rarely hold.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_writer.h"
#include "tests/las/las_test_support.h"

namespace kl::las {
namespace {

using Bytes = std::vector<uint8_t>;
using Replace = std::function<void(LasHeader&, Bytes&)>;

constexpr uint64_t bitsOf(double d) { return std::bit_cast<uint64_t>(d); }

// A comparison of doubles would call -0.0 "unchanged" and lose its sign; bits must decide.
// A fresh chunk starts with them.
const std::vector<uint64_t> kSpecialTimes = {bitsOf(0.0), bitsOf(-0.0), bitsOf(0.0), 0x7FF8000000000001ull,
                                             0x7FF8000000000001ull, 0x7FF8000000000002ull,
                                             bitsOf(std::numeric_limits<double>::infinity()), bitsOf(-0.0), 0, 1,
                                             0xFFFFFFFFFFFFFFFFull};

// Steps between GPS times that reach every multiplier class of the point14 time coder.
constexpr double kTimeSteps[] = {1e-5, 1e-5, 2e-5, 3.7e-4, 9e-2, 5.0, -1e-5, -5e-5, -1e-3, 1e-12, 1e-5, 1e-5};

// Records that exercise what real files rarely do: several scanner channels (the first point
// not on channel 0), time jumps and steps of every size between sequences, every return
// combination, changing colours, near infrared and extra bytes.
Bytes syntheticRecords(uint8_t format, uint16_t recordLength, uint32_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  auto next = [&rng]() { return static_cast<uint32_t>(rng()); };
  Bytes out(static_cast<size_t>(count) * recordLength);
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
      t += kTimeSteps[next() % std::size(kTimeSteps)];
    }
    storeLe<double>(p + 22, t);
    if (i < kSpecialTimes.size()) storeLe<uint64_t>(p + 22, kSpecialTimes[i]);
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

Replace synthetic(uint8_t format, uint16_t recordLength, uint32_t count, uint32_t seed) {
  return [=](LasHeader& h, Bytes& records) {
    h.pointFormat = format;
    h.recordLength = recordLength;  // beyond the standard length: extra bytes
    records = syntheticRecords(format, recordLength, count, seed);
  };
}

// Interleaved flight lines, time jumps beyond 32 bits, repeats and NaN patterns push the
// point10 time coder through every one of its codes.
void stressPoint10Times(LasHeader& h, Bytes& records) {
  const size_t rl = h.recordLength;
  for (size_t i = 0; i < records.size() / rl; ++i) {
    double t = 1000.0 + static_cast<double>(i) * 0.001;
    if (i % 4 == 1) t = 5.0e8 + static_cast<double>(i);                // a second sequence far away
    if (i % 7 == 3) t = std::ldexp(1.0, 60) + static_cast<double>(i);  // huge jump
    if (i % 11 == 5) t = -static_cast<double>(i) * 1.5;
    if (i % 13 == 6) t = std::nan("");
    if (i % 17 == 0 && i > 0) std::memcpy(&t, records.data() + (i - 1) * rl + 20, 8);  // repeat
    if (i > 200 && i < 260) t = 777.0 + static_cast<double>(i - 200) * 37.0 * static_cast<double>(i % 5);
    std::memcpy(records.data() + i * rl + 20, &t, 8);
  }
}

struct RoundTrip {
  const char* name;
  const char* sample;  // the header, and the records unless replaced
  uint32_t chunkSize;
  Replace replace;
};

const RoundTrip kRoundTrips[] = {
    {"point10", "lazrs__point10.laz", 300, nullptr},
    {"empty", "lazrs__point10.laz", 300, [](LasHeader&, Bytes& records) { records.clear(); }},
    {"empty_layered", "laspy__1_4_w_evlr.laz", 300, [](LasHeader&, Bytes& records) { records.clear(); }},
    {"point_time", "lazrs__point-time.laz", 300, nullptr},
    {"point_color", "lazrs__point-color.laz", 1065, nullptr},
    {"point_time_color", "lazrs__point-time-color.laz", 50000, nullptr},
    {"extra_bytes", "lazrs__extra-bytes.laz", 500, nullptr},
    {"las_source", "pdal__las_autzen_trim.las", 50000, nullptr},
    {"format6", "laspy__1_4_w_evlr.laz", 300, nullptr},
    {"format7", "laszip4j__record-format-7.laz", 20, nullptr},
    {"format8", "laspy__append-bug.laz", 10000, nullptr},
    {"point10_time_stress", "lazrs__point-time.laz", 400, stressPoint10Times},
    {"synthetic6", "laspy__1_4_w_evlr.laz", 5000, synthetic(6, 30, 20000, 1)},
    {"synthetic7_extra_bytes", "laspy__1_4_w_evlr.laz", 7000, synthetic(7, 40, 20000, 2)},
    {"synthetic8_extra_bytes", "laspy__1_4_w_evlr.laz", 50000, synthetic(8, 43, 30000, 3)},
    {"synthetic8_last_chunk_one_point", "laspy__1_4_w_evlr.laz", 1000, synthetic(8, 39, 3001, 4)},
};

TEST(WrittenRecords, OurReaderAndLazPerfReadBackExactlyTheRecordsWritten) {
  for (const RoundTrip& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    const test::Decoded in = test::decodeFile(test::sample(c.sample));
    ASSERT_TRUE(in.status.ok) << in.status.message;
    LasHeader header = in.header;
    Bytes records = in.records;
    if (c.replace) c.replace(header, records);
    const uint64_t count = records.size() / header.recordLength;
    const std::string out = test::tempFile(std::string("written_") + c.name + ".laz");
    LasWriteOptions options;
    options.chunkSize = c.chunkSize;
    const LasStatus st = writeLasFile(out, header, records.data(), count, options);
    ASSERT_TRUE(st.ok) << st.message;
    EXPECT_TRUE(test::noTempBeside(out));
    EXPECT_TRUE(test::decodeFile(out, 1).records == records) << "one thread";
    const test::Decoded back = test::decodeFile(out, 2);
    ASSERT_TRUE(back.status.ok) << back.status.message;
    EXPECT_EQ(back.header.pointFormatByte, 0x80 | header.pointFormat);
    EXPECT_EQ(back.header.pointCount, count);
    EXPECT_EQ(back.header.recordLength, header.recordLength);
    EXPECT_TRUE(back.records == records) << "two threads";
    if (!c.replace) {  // the header describes the records: bounds, scale, offset and returns
      for (size_t a = 0; a < 3; ++a) {
        EXPECT_NEAR(back.header.min[a], in.header.min[a], in.header.scale[a]);
        EXPECT_NEAR(back.header.max[a], in.header.max[a], in.header.scale[a]);
      }
      EXPECT_EQ(back.header.scale, in.header.scale);
      EXPECT_EQ(back.header.offset, in.header.offset);
      EXPECT_EQ(std::accumulate(back.header.pointsByReturn.begin(), back.header.pointsByReturn.end(), uint64_t{0}),
                count);
      EXPECT_EQ(back.header.pointsByReturn[0], in.header.pointsByReturn[0]);
    }
    Bytes theirs;
    ASSERT_TRUE(test::lazPerfDecode(out, &theirs));
    EXPECT_TRUE(theirs == records) << "laz-perf reads other records";
  }
}

}  // namespace
}  // namespace kl::las
