#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_conversion.h"
#include "tests/las/las_test_support.h"

namespace kl::las {
namespace {

using Bytes = std::vector<uint8_t>;

const char* const kEvlrLas = "laspy__1_4_w_evlr.las";

bool isLaszip(const LasVlr& v) { return v.userId == kLaszipVlrUserId && v.recordId == kLaszipVlrRecordId; }

// Every record but the LASzip one, in order, as (kind, user id, record id, description, payload).
std::vector<std::string> recordsOf(const LasHeader& h) {
  std::vector<std::string> out;
  for (const LasVlr& v : h.vlrs) {
    if (isLaszip(v)) continue;
    out.push_back(std::string(v.extended ? "E|" : "V|") + v.userId + "|" + std::to_string(v.recordId) + "|" +
                  v.description + "|" + std::string(v.payload.begin(), v.payload.end()));
  }
  return out;
}

Bytes tailFrom(const std::string& path, uint64_t start) {
  const Bytes f = test::readFile(path);
  return start > f.size() ? Bytes{} : Bytes(f.begin() + static_cast<std::ptrdiff_t>(start), f.end());
}

TEST(LasConversion, LasToLazToLasLosesNoRecordAndNoByteOfTheEvlrs) {
  const std::string source = test::sample(kEvlrLas);
  const test::Decoded in = test::decodeFile(source);
  ASSERT_TRUE(in.status.ok) << in.status.message;
  const std::string laz = test::tempFile("conv_evlr.laz");
  const std::string las = test::tempFile("conv_evlr_back.las");
  ASSERT_TRUE(convertLasFile(source, laz).ok);
  LasWriteOptions plain;
  plain.compress = false;
  ASSERT_TRUE(convertLasFile(laz, las, plain, 2).ok);

  const test::Decoded mid = test::decodeFile(laz);
  const test::Decoded back = test::decodeFile(las);
  ASSERT_TRUE(mid.status.ok) << mid.status.message;
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_TRUE(mid.header.compressed);
  EXPECT_FALSE(back.header.compressed);
  EXPECT_EQ(recordsOf(mid.header), recordsOf(in.header));
  EXPECT_EQ(recordsOf(back.header), recordsOf(in.header));
  EXPECT_EQ(back.header.evlrCount, in.header.evlrCount);
  EXPECT_TRUE(back.records == in.records);
  // the EVLR block, headers included, is the source's byte for byte
  const Bytes original = tailFrom(source, in.header.evlrStart);
  ASSERT_EQ(original.size(), 60u + 16u);
  EXPECT_EQ(tailFrom(laz, mid.header.evlrStart), original);
  EXPECT_EQ(tailFrom(las, back.header.evlrStart), original);
  EXPECT_EQ(mid.header.pointFormatByte, 0x86);
  EXPECT_EQ(back.header.versionMinor, 4);
  // after the chunk table, which the point data's first word locates, or right after the points
  EXPECT_GT(mid.header.evlrStart, loadLe<uint64_t>(test::readFile(laz).data() + mid.header.pointDataOffset));
  EXPECT_EQ(back.header.evlrStart, back.header.pointDataOffset + in.records.size());
  Bytes theirs;
  ASSERT_TRUE(test::lazPerfDecode(laz, &theirs));
  EXPECT_TRUE(theirs == in.records);
}

struct BadInput {
  const char* name;
  const char* sample;
  std::function<void(Bytes&)> damage;
  const char* cause;
  bool failsWhileDecoding = false;  // after the header was read and the output opened
};

const BadInput kBadInputs[] = {
    {"truncated_evlr", kEvlrLas, [](Bytes& b) { b.resize(b.size() - 5); }, "EVLR nr 1"},
    {"missing", nullptr, nullptr, ""},
    // fails while the points are being decoded, after the output was opened
    {"garbage_in_a_chunk", "pdal__laz_autzen_trim.laz",
     [](Bytes& b) {
       std::mt19937 rng(5);
       const size_t at = loadLe<uint32_t>(b.data() + 96) + 8 + 40;
       for (size_t i = at; i < at + 40000; ++i) b[i] = static_cast<uint8_t>(rng());
     },
     "chunk", true},
};

class ConversionOfBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(ConversionOfBadInput, FailsClearlyAndWritesNothing) {
  // The reader's own table has every damage; here one failure at the header, one
  // while decoding and a missing file.
  const BadInput& c = GetParam();
  const std::string in = test::tempFile(std::string("bad_") + c.name + ".las");
  std::filesystem::remove(in);
  if (c.sample != nullptr) {
    Bytes bytes = test::readFile(test::sample(c.sample));
    c.damage(bytes);
    test::writeFile(in, bytes);
  }
  EXPECT_EQ(LasReader().open(in).ok, c.failsWhileDecoding);
  const std::string out = test::tempFile(std::string("bad_") + c.name + "_out.laz");
  std::filesystem::remove(out);
  const LasStatus st = convertLasFile(in, out);
  EXPECT_FALSE(st.ok);
  EXPECT_NE(st.message.find(in), std::string::npos) << st.message;
  EXPECT_NE(st.message.find(c.cause), std::string::npos) << st.message;
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(test::noTempBeside(out));
}

INSTANTIATE_TEST_SUITE_P(Cases, ConversionOfBadInput, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInput>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace kl::las
