// Writing LAS and LAZ beyond the records (those are the round-trip tests'): VLRs and EVLRs,
// refusals that leave no file, and conversion between LAS and LAZ.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_conversion.h"
#include "cloud/las/las_file.h"
#include "cloud/las/las_writer.h"
#include "tests/las/las_test_support.h"

namespace kl::las {
namespace {

using Bytes = std::vector<uint8_t>;

const char* const kEvlrSample = "laspy__1_4_w_evlr.las";

// Every record but the LASzip one, in order, as (kind, user id, record id, description, payload).
std::vector<std::string> recordsOf(const LasHeader& h) {
  std::vector<std::string> out;
  for (const LasVlr& v : h.vlrs) {
    if (v.userId == kLaszipVlrUserId && v.recordId == kLaszipVlrRecordId) continue;
    out.push_back(std::string(v.extended ? "E|" : "V|") + v.userId + "|" + std::to_string(v.recordId) + "|" +
                  v.description + "|" + std::string(v.payload.begin(), v.payload.end()));
  }
  return out;
}

LasVlr patternEvlr(uint16_t recordId, size_t size) {
  LasVlr e;
  e.extended = true;
  e.userId = "kartolink_test";
  e.recordId = recordId;
  e.description = "wzorzec " + std::to_string(size);
  e.payload.resize(size);
  for (size_t i = 0; i < size; ++i) e.payload[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
  return e;
}

TEST(LasWriter, LegacyFormatWithEvlrsIsWrittenAsLas14ThatOlderFieldsStillDescribe) {
  // 1.2 has no place for EVLRs; 1.4 keeps them and still fills the legacy count fields.
  const test::Decoded in = test::decodeFile(test::sample("lazrs__point-time-color.laz"));
  ASSERT_TRUE(in.status.ok);
  ASSERT_LT(in.header.versionMinor, 4);
  LasHeader h = in.header;
  h.vlrs.push_back(patternEvlr(7, 70000));  // more than a VLR could hold
  h.vlrs.push_back(patternEvlr(8, 0));
  const std::string out = test::tempFile("legacy_evlr.laz");
  ASSERT_TRUE(writeLasFile(out, h, in.records.data(), in.header.pointCount).ok);
  const Bytes file = test::readFile(out);
  EXPECT_EQ(file[25], 4);
  EXPECT_EQ(loadLe<uint32_t>(file.data() + 107), in.header.pointCount);
  EXPECT_EQ(loadLe<uint32_t>(file.data() + 111), in.header.pointsByReturn[0]);
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_EQ(recordsOf(back.header), recordsOf(h));
  EXPECT_TRUE(back.records == in.records);
  // The source's own LASzip record is replaced by one that announces no special EVLRs.
  EXPECT_EQ(back.header.vlrs.size(), h.vlrs.size());
  const LasVlr* z = back.header.findVlr(kLaszipVlrUserId, kLaszipVlrRecordId);
  LaszipInfo info;
  ASSERT_TRUE(z != nullptr && parseLaszipVlr(z->payload.data(), z->payload.size(), &info).ok);
  EXPECT_EQ(z->description, "kartolink");
  EXPECT_EQ(info.specialEvlrCount, -1);
  EXPECT_EQ(info.specialEvlrOffset, -1);
}

// A file written with one large EVLR, whose header is then read back with that EVLR
// only located: the state a reader leaves an EVLR in when it is too large to load.
struct LocatedSource {
  std::string path;
  LasHeader header;
  Bytes records;
  std::vector<std::string> vlrs;  // as recordsOf gives them, the large payload included
};

LocatedSource locatedSource(const std::string& name, size_t payloadSize) {
  LocatedSource s;
  const test::Decoded in = test::decodeFile(test::sample(kEvlrSample));
  EXPECT_TRUE(in.status.ok);
  LasHeader h = in.header;
  h.vlrs.push_back(patternEvlr(9, payloadSize));
  s.vlrs = recordsOf(h);
  s.records = in.records;
  s.path = test::tempFile(name);
  LasWriteOptions options;
  options.compress = false;
  EXPECT_TRUE(writeLasFile(s.path, h, in.records.data(), in.header.pointCount, options).ok);
  const test::Decoded back = test::decodeFile(s.path);
  EXPECT_TRUE(back.status.ok) << back.status.message;
  s.header = back.header;
  for (LasVlr& v : s.header.vlrs) {
    if (v.extended && v.recordId == 9) {
      v.locatedLength = v.payload.size();
      v.payload.clear();
      v.payload.shrink_to_fit();
    }
  }
  return s;
}

TEST(LasWriter, LocatedEvlrIsCopiedFromTheSourceInBoundedPieces) {
  const size_t size = 3 * 1024 * 1024 + 12345;
  const LocatedSource src = locatedSource("located_source.las", size);
  LasFile file;
  ASSERT_TRUE(file.open(src.path));
  size_t calls = 0, largest = 0;
  LasWriteOptions options;
  options.payloadSource = [&](uint64_t offset, size_t n, void* dst) {
    ++calls;
    largest = std::max(largest, n);
    return file.readAt(offset, n, dst);
  };
  const std::string out = test::tempFile("located_copy.laz");
  ASSERT_TRUE(writeLasFile(out, src.header, src.records.data(), src.header.pointCount, options).ok);
  EXPECT_GE(calls, 4u);
  EXPECT_LE(largest, size_t{1} << 20);
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_TRUE(recordsOf(back.header) == src.vlrs);
  EXPECT_TRUE(back.records == src.records);
  std::filesystem::remove(src.path);
}

TEST(LasWriter, WritesThatCannotBeDoneWhollyFailAndLeaveNoFile) {
  LasHeader waves;
  waves.pointFormat = 9;
  waves.recordLength = standardRecordLength(9);
  LasHeader longVlr = test::decodeFile(test::sample("lazrs__point10.laz")).header;
  longVlr.vlrs.push_back(patternEvlr(3, 70000));
  longVlr.vlrs.back().extended = false;
  // A source 1000 bytes short of its located EVLR, claimed as it is or far longer than any file.
  const LocatedSource src = locatedSource("located_short.las", 2 * 1024 * 1024);
  Bytes truncated = test::readFile(src.path);
  truncated.resize(truncated.size() - 1000);
  LasFile shortSource;
  shortSource.openMemory(truncated.data(), truncated.size());
  LasHeader claimsTooMuch = src.header;
  claimsTooMuch.vlrs.back().locatedLength = uint64_t{1} << 60;
  const struct {
    LasHeader header;
    bool compress, fromShortSource;
    std::string message;
  } rows[] = {
      // Wave packet records point into waveform data the writer does not carry over.
      {waves, false, false, "formatu punktow 9 (z pakietami fal)"},
      {src.header, true, false, "EVLR nr 2 (kartolink_test/9)"},  // located, and no source given
      {longVlr, true, false, "70000 B"},
      {src.header, true, true, "rekordu EVLR nr 2 (kartolink_test/9) z pliku zrodlowego"},
      {claimsTooMuch, true, true, "rekordu EVLR nr 2 (kartolink_test/9) z pliku zrodlowego"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    const std::string out = test::tempFile(std::string("refused") + (row.compress ? ".laz" : ".las"));
    std::filesystem::remove(out);
    LasWriteOptions options;
    options.compress = row.compress;
    if (row.fromShortSource)
      options.payloadSource = [&](uint64_t offset, size_t n, void* dst) { return shortSource.readAt(offset, n, dst); };
    const LasStatus st = writeLasFile(out, row.header, nullptr, 0, options);
    EXPECT_FALSE(st.ok);
    EXPECT_NE(st.message.find(row.message), std::string::npos) << st.message;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(test::noTempBeside(out));
  }
  std::filesystem::remove(src.path);
}

TEST(LasWriter, ASecondWriteReplacesTheFirstFileWholeAndFollowsNoPlantedLink) {
  const test::Decoded in = test::decodeFile(test::sample("lazrs__point10.laz"));
  ASSERT_TRUE(in.status.ok) << in.status.message;
  const std::string out = test::tempFile("written_twice.laz");
  ASSERT_TRUE(writeLasFile(out, in.header, in.records.data(), in.header.pointCount).ok);
  // Another user may plant a link where a predictable temporary name would be.
  const std::string victim = test::tempFile("written_twice_victim.txt");
  test::writeFile(victim, {'k', 'e', 'e', 'p'});
  std::filesystem::remove(out + ".tmp");
  std::filesystem::create_symlink(victim, out + ".tmp");
  const LasStatus st = writeLasFile(out, in.header, in.records.data(), 10);
  ASSERT_TRUE(st.ok) << st.message;
  const test::Decoded back = test::decodeFile(out);
  ASSERT_TRUE(back.status.ok) << back.status.message;
  EXPECT_EQ(back.header.pointCount, 10u);
  EXPECT_TRUE(std::equal(back.records.begin(), back.records.end(), in.records.begin()));
  EXPECT_EQ(test::readFile(victim), std::vector<uint8_t>({'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(std::filesystem::is_symlink(out + ".tmp"));
  std::filesystem::remove(out + ".tmp");
  EXPECT_TRUE(test::noTempBeside(out));
}

Bytes tailFrom(const std::string& path, uint64_t start) {
  const Bytes f = test::readFile(path);
  return start > f.size() ? Bytes{} : Bytes(f.begin() + static_cast<std::ptrdiff_t>(start), f.end());
}

TEST(LasConversion, LasToLazToLasLosesNoRecordAndNoByteOfTheEvlrsAndBadInputWritesNothing) {
  const std::string source = test::sample(kEvlrSample);
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

  // A garbled chunk fails the conversion once the output is open; the reader's own table has every damage.
  Bytes garbled = test::readFile(test::sample("pdal__laz_autzen_trim.laz"));
  test::garbleFirstChunk(garbled);
  const std::string bad = test::tempFile("bad_garbage_in_a_chunk.laz"), badOut = test::tempFile("bad_out.laz");
  test::writeFile(bad, garbled);
  std::filesystem::remove(badOut);
  ASSERT_TRUE(LasReader().open(bad).ok);
  const LasStatus st = convertLasFile(bad, badOut);
  EXPECT_FALSE(st.ok);
  EXPECT_NE(st.message.find(bad), std::string::npos) << st.message;
  EXPECT_NE(st.message.find("chunk"), std::string::npos) << st.message;
  EXPECT_FALSE(std::filesystem::exists(badOut));
  EXPECT_TRUE(test::noTempBeside(badOut));
}

}  // namespace
}  // namespace kl::las
