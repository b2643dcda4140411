#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "cloud/las/las_writer.h"
#include "tests/las/las_test_support.h"

namespace kl::las {
namespace {

struct Source {
  const char* file;
  uint8_t format;
  uint32_t chunkSize;
};

class LazWriterRoundTrip : public ::testing::TestWithParam<Source> {};

TEST_P(LazWriterRoundTrip, OurReaderAndLazPerfReadBackExactlyTheRecordsWritten) {
  const Source src = GetParam();
  const test::Decoded in = test::decodeFile(test::sample(src.file));
  ASSERT_TRUE(in.status.ok) << in.status.message;
  ASSERT_EQ(in.header.pointFormat, src.format);
  const uint64_t count = in.header.pointCount;

  const std::string out = test::tempFile(std::string("written_") + src.file + ".laz");
  LasWriteOptions options;
  options.chunkSize = src.chunkSize;
  const LasStatus st = writeLasFile(out, in.header, in.records.data(), count, options);
  ASSERT_TRUE(st.ok) << st.message;
  EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));

  for (unsigned threads : {1u, 2u}) {
    const test::Decoded back = test::decodeFile(out, threads);
    ASSERT_TRUE(back.status.ok) << back.status.message;
    EXPECT_TRUE(back.header.compressed);
    EXPECT_EQ(back.header.pointFormatByte, 0x80 | src.format);
    EXPECT_EQ(back.header.pointCount, count);
    EXPECT_EQ(back.header.recordLength, in.header.recordLength);
    EXPECT_TRUE(back.records == in.records) << "threads " << threads;
  }
  std::vector<uint8_t> theirs;
  ASSERT_TRUE(test::lazPerfDecode(out, &theirs));
  EXPECT_TRUE(theirs == in.records) << "laz-perf reads other records";
}

INSTANTIATE_TEST_SUITE_P(Formats, LazWriterRoundTrip,
                         ::testing::Values(Source{"lazrs__point10.laz", 0, 300}, Source{"lazrs__point-time.laz", 1, 300},
                                           Source{"lazrs__point-color.laz", 2, 1065},
                                           Source{"lazrs__point-time-color.laz", 3, 50000},
                                           Source{"lazrs__extra-bytes.laz", 3, 500},
                                           Source{"pdal__las_autzen_trim.las", 3, 50000},
                                           Source{"laspy__1_4_w_evlr.laz", 6, 300},
                                           Source{"laszip4j__record-format-7.laz", 7, 20},
                                           Source{"laspy__append-bug.laz", 8, 10000}));

TEST(LasWriter, HeaderCarriesCountBoundsAndReturnsOfTheRecords) {
  const test::Decoded in = test::decodeFile(test::sample("pdal__laz_autzen_trim.laz"));
  ASSERT_TRUE(in.status.ok);
  const std::string out = test::tempFile("bounds.laz");
  ASSERT_TRUE(writeLasFile(out, in.header, in.records.data(), in.header.pointCount).ok);
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  for (size_t a = 0; a < 3; ++a) {
    EXPECT_NEAR(back.header.min[a], in.header.min[a], in.header.scale[a]);
    EXPECT_NEAR(back.header.max[a], in.header.max[a], in.header.scale[a]);
    EXPECT_EQ(back.header.scale[a], in.header.scale[a]);
    EXPECT_EQ(back.header.offset[a], in.header.offset[a]);
  }
  uint64_t sum = 0;
  for (uint64_t n : back.header.pointsByReturn) sum += n;
  EXPECT_EQ(sum, in.header.pointCount);
  EXPECT_EQ(back.header.pointsByReturn[0], in.header.pointsByReturn[0]);
}

TEST(LasWriter, UncompressedOutputIsPlainLas) {
  const test::Decoded in = test::decodeFile(test::sample("lazrs__point-time-color.laz"));
  ASSERT_TRUE(in.status.ok);
  const std::string out = test::tempFile("plain.las");
  LasWriteOptions options;
  options.compress = false;
  ASSERT_TRUE(writeLasFile(out, in.header, in.records.data(), in.header.pointCount, options).ok);
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_FALSE(back.header.compressed);
  EXPECT_EQ(back.header.pointFormatByte, 3);
  EXPECT_TRUE(back.records == in.records);
  EXPECT_EQ(std::filesystem::file_size(out), back.header.pointDataOffset + in.records.size());
}

TEST(LasWriter, EmptyFileIsReadableByBoth) {
  const test::Decoded in = test::decodeFile(test::sample("lazrs__point10.laz"));
  ASSERT_TRUE(in.status.ok);
  const std::string out = test::tempFile("empty.laz");
  ASSERT_TRUE(writeLasFile(out, in.header, nullptr, 0).ok);
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_EQ(back.header.pointCount, 0u);
  EXPECT_TRUE(back.records.empty());
  std::vector<uint8_t> theirs;
  EXPECT_TRUE(test::lazPerfDecode(out, &theirs));
  EXPECT_TRUE(theirs.empty());
}

TEST(LasWriter, GpsTimeJumpsAndSequenceSwitchesSurvive) {
  // Interleaved flight lines, time jumps beyond 32 bits, repeats and NaN patterns push
  // the time coder through every one of its codes.
  const test::Decoded in = test::decodeFile(test::sample("lazrs__point-time.laz"));
  ASSERT_TRUE(in.status.ok);
  std::vector<uint8_t> records = in.records;
  const size_t rl = in.header.recordLength;
  const size_t n = records.size() / rl;
  for (size_t i = 0; i < n; ++i) {
    double t = 1000.0 + static_cast<double>(i) * 0.001;
    if (i % 4 == 1) t = 5.0e8 + static_cast<double>(i);            // a second sequence far away
    if (i % 7 == 3) t = std::ldexp(1.0, 60) + static_cast<double>(i);  // huge jump
    if (i % 11 == 5) t = -static_cast<double>(i) * 1.5;
    if (i % 13 == 6) t = std::nan("");
    if (i % 17 == 0 && i > 0) std::memcpy(&t, records.data() + (i - 1) * rl + 20, 8);  // repeat
    if (i > 200 && i < 260) t = 777.0 + static_cast<double>(i - 200) * 37.0 * static_cast<double>(i % 5);
    std::memcpy(records.data() + i * rl + 20, &t, 8);
  }
  const std::string out = test::tempFile("gps_stress.laz");
  LasWriteOptions options;
  options.chunkSize = 400;
  ASSERT_TRUE(writeLasFile(out, in.header, records.data(), n, options).ok);
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_TRUE(back.records == records);
  std::vector<uint8_t> theirs;
  ASSERT_TRUE(test::lazPerfDecode(out, &theirs));
  EXPECT_TRUE(theirs == records);
}

TEST(LasWriter, RefusesFormatsItCannotCompress) {
  LasHeader h;
  h.pointFormat = 4;
  h.recordLength = 57;
  LasWriter w;
  const LasStatus st = w.open(test::tempFile("f4.laz"), h);
  EXPECT_FALSE(st.ok);
  EXPECT_NE(st.message.find("formatu punktow 4"), std::string::npos) << st.message;
}

}  // namespace
}  // namespace kl::las
