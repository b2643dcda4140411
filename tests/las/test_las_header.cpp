#include <gtest/gtest.h>

#include <string>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"
#include "cloud/las/las_header.h"
#include "tests/las/las_test_support.h"

namespace kl::las {
namespace {

TEST(LasHeader, FieldsAndAllRecordsOfTheSamplesAreRead) {
  const struct {
    const char* file;
    uint8_t minor, format;
    uint16_t recordLength;
    uint64_t count;
    size_t vlrs;  // VLRs + EVLRs actually present
  } cases[] = {
      {"pdal__las_bad_vlr_count.las", 2, 3, 34, 10, 2},  // declares 3 VLRs, holds 2
      {"pdal__las_lots_of_vlr.las", 1, 1, 28, 1, 390},
      {"pdal__las_permutations_1.0_0.las", 0, 0, 20, 1, 3},
      {"pdal__las_permutations_1.2_3.las", 2, 3, 34, 1, 3},
      {"pdal__las_no-points.las", 2, 3, 34, 0, 4},
      {"laszip__5points_14.las", 4, 6, 33, 5, 3},
      {"laspy__1_4_w_evlr.las", 4, 6, 30, 1000, 3},
      {"pdal__las_wontcompress3.las", 4, 6, 30, 1000, 2},
      {"laspy__simple1_1.las", 1, 1, 28, 1065, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const test::Decoded d = test::decodeFile(test::sample(c.file));
    ASSERT_TRUE(d.status.ok) << d.status.message;
    EXPECT_EQ(d.header.versionMajor, 1);
    EXPECT_EQ(d.header.versionMinor, c.minor);
    EXPECT_EQ(d.header.pointFormat, c.format);
    EXPECT_EQ(d.header.recordLength, c.recordLength);
    EXPECT_EQ(d.header.pointCount, c.count);
    EXPECT_EQ(d.header.vlrs.size(), c.vlrs);
    EXPECT_EQ(d.records.size(), c.count * c.recordLength);
    EXPECT_TRUE(d.records == test::rawRecordsOfLas(test::sample(c.file), c.count, c.recordLength));
  }
}

TEST(LasHeader, GarbageVlrCountIsIgnoredButAShortLastRecordIsAnError) {
  // 1069128089 VLRs declared where none fit; the points end 6 bytes short of the 719th.
  const std::string path = test::sample("pdal__las_garbage_nVariableLength.las");
  const test::Decoded d = test::decodeFile(path);
  ASSERT_FALSE(d.status.ok);
  EXPECT_NE(d.status.message.find(path), std::string::npos);
  EXPECT_NE(d.status.message.find("719 punktow, a plik miesci tylko 718"), std::string::npos) << d.status.message;
}

TEST(LasHeader, SerialisedHeaderReadsBack) {
  LasHeader h;
  h.versionMinor = 4;
  h.headerSize = 375;
  h.pointFormat = 7;
  h.pointFormatByte = 7;
  h.recordLength = 40;
  h.pointCount = 5000000000ull;
  h.pointDataOffset = 375;
  h.scale = {0.001, 0.002, 0.003};
  h.offset = {500000, 600000, 100};
  h.min = {1, 2, 3};
  h.max = {4, 5, 6};
  std::vector<uint8_t> bytes = serializeLasHeader(h);
  ASSERT_EQ(bytes.size(), 375u);
  bytes.resize(400);
  LasFile f;
  f.openMemory(bytes.data(), bytes.size());
  LasHeader back;
  ASSERT_TRUE(readLasHeader(f, "x", &back).ok);  // the count is checked by the reader, not here
  EXPECT_EQ(back.pointCount, h.pointCount);
  EXPECT_EQ(loadLe<uint32_t>(bytes.data() + 107), 0u);  // legacy count stays 0 for format 7
  EXPECT_EQ(back.scale, h.scale);
  EXPECT_EQ(back.offset, h.offset);
  EXPECT_EQ(back.min, h.min);
  EXPECT_EQ(back.max, h.max);
  EXPECT_EQ(back.recordLength, 40);
}

TEST(LasPointView, ClassificationIsSplitInLegacyFormatsAndWholeInExtendedOnes) {
  uint8_t legacy[34] = {}, extended[36] = {};
  storeLe<int32_t>(legacy, -5);
  legacy[14] = 2 | (3 << 3);
  legacy[15] = 0xE0 | 9;  // withheld, key-point, synthetic + class 9
  storeLe<uint16_t>(legacy + 28, 65535);
  extended[14] = 3 | (5 << 4);
  extended[15] = 0x0A;
  extended[16] = 200;
  const LasPointView a = viewPoint(legacy, 3), b = viewPoint(extended, 7);
  EXPECT_EQ(a.x, -5);
  EXPECT_TRUE(a.hasRgb);
  EXPECT_EQ(a.red, 65535);
  EXPECT_EQ(std::vector<int>({a.returnNumber, a.numberOfReturns, a.classification, a.classificationFlags}),
            std::vector<int>({2, 3, 9, 7}));
  EXPECT_EQ(std::vector<int>({b.returnNumber, b.numberOfReturns, b.classification, b.classificationFlags}),
            std::vector<int>({3, 5, 200, 0x0A}));
}

}  // namespace
}  // namespace kl::las
