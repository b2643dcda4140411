// The layered codec on the samples, chunk by chunk, and on chunks of our own making and
// damaged ones. An item list that does not fit the format
// is refused with the LASzip record.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cloud/las/chunk_table.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"
#include "cloud/las/laszip_vlr.h"
#include "cloud/las/layered_codec.h"
#include "tests/las/las_test_support.h"

namespace kl::las::testing {
namespace {

using test::readFile;
using test::sample;

struct LayeredLaz {
  uint8_t pointFormat = 0;
  uint16_t recordLength = 0;
  uint64_t pointCount = 0;
  LaszipInfo info;
  std::vector<LazChunk> chunks;
};

// Finds the layered chunks of a LAZ file with the reader's own header and chunk table
// code, which the oracle tests check on every sample.
bool parseLayeredLaz(const std::vector<uint8_t>& f, LayeredLaz* laz, std::string* error) {
  LasFile file;
  file.openMemory(f.data(), f.size());
  LasHeader h;
  LasStatus st = readLasHeader(file, "test.laz", &h);
  const LasVlr* vlr = h.findVlr(kLaszipVlrUserId, kLaszipVlrRecordId);
  if (st && vlr == nullptr) st = LasStatus::failure("no LASzip record");
  if (st) st = parseLaszipVlr(vlr->payload.data(), vlr->payload.size(), &laz->info);
  ChunkTableResult table;
  if (st) table = readChunkTable(file, h, laz->info, "test.laz");
  if (st && table.sequential) st = LasStatus::failure(table.reason);
  if (st) st = table.status;
  *error = st.message;
  laz->pointFormat = h.pointFormat;
  laz->recordLength = h.recordLength;
  laz->pointCount = h.pointCount;
  laz->chunks = std::move(table.chunks);
  return st.ok;
}

// Every layered sample, chunk by chunk (their records are compared with laz-perf in the
// oracle test): our encoder turns them back into the very bytes the original writer stored
// (same models, same layer choices), which pins down the wave packet item that laz-perf
// cannot read. A reader that asks only for position and colour (or intensity) gets those
// exactly as a full decode does, and GPS time is skipped; full and partial decodes
// alternate on one thread, so a decoder kept from the chunk before must not leak.
TEST(LayeredSample, ReencodesToTheStoredBytesAndDecodesOnlyTheFieldsAskedFor) {
  const struct {
    const char* file;
    uint8_t format;
    uint64_t points;
    size_t chunks;
  } samples[] = {{"laspy__1_4_w_evlr.laz", 6, 1000, 1},        {"laspy__append-bug.laz", 8, 37805, 1},
                 {"laspy__simple.copc.laz", 7, 1065, 65},      {"laszip4j__record-format-7.laz", 7, 62, 1},
                 {"laszip4j__record-format-8.laz", 8, 62, 1}, {"laspy__fullwave.laz", 10, 10750, 1}};
  for (const auto& s : samples) {
    SCOPED_TRACE(s.file);
    const std::vector<uint8_t> file = readFile(sample(s.file));
    LayeredLaz laz;
    std::string error;
    ASSERT_TRUE(parseLayeredLaz(file, &laz, &error)) << error;
    ASSERT_EQ(laz.pointFormat, s.format);
    ASSERT_EQ(laz.pointCount, s.points);
    ASSERT_EQ(laz.chunks.size(), s.chunks);
    const uint32_t rl = laz.recordLength;
    const bool colour = formatHasRgb(laz.pointFormat);
    const RecordField kept = colour ? RecordField::Colour : RecordField::Intensity;
    const size_t keptAt = colour ? 30 : 12, keptSize = colour ? 6 : 2;
    bool gpsTimeSkipped = false;
    for (const LazChunk& c : laz.chunks) {
      const uint8_t* stored = &file[c.offset];
      std::vector<uint8_t> full(c.points * rl), some(c.points * rl), encoded;
      ASSERT_TRUE(decodeLayeredChunk(stored, c.bytes, laz.info.items, rl, c.points, full.data(), &error)) << error;
      ASSERT_TRUE(encodeLayeredChunk(full.data(), c.points, laz.info.items, rl, &encoded, &error)) << error;
      ASSERT_TRUE(encoded.size() == c.bytes && std::equal(encoded.begin(), encoded.end(), stored)) << c.offset;
      ASSERT_TRUE(decodeLayeredChunk(stored, c.bytes, laz.info.items, rl, c.points, some.data(), &error,
                                     RecordFields::positionOnly().with(kept)));
      for (uint64_t i = 0; i < c.points; ++i) {
        const uint8_t* f = &full[i * rl];
        const uint8_t* p = &some[i * rl];
        ASSERT_TRUE(std::equal(f, f + 12, p) && f[14] == p[14]) << "position of point " << i;
        ASSERT_TRUE(std::equal(f + keptAt, f + keptAt + keptSize, p + keptAt)) << "point " << i;
        gpsTimeSkipped = gpsTimeSkipped || !std::equal(f + 22, f + 30, p + 22);
      }
    }
    EXPECT_TRUE(gpsTimeSkipped || laz.pointCount < 100) << "no GPS time changed: the table needs another sample";
  }
}

// A format 8 sample with extra bytes (14 layers) gives a realistic chunk to damage. Each
// damage is decoded from an exactly sized heap copy, so the address sanitizer sees any read
// past the chunk.
TEST(DamagedChunk, IsAnErrorWithAMessage) {
  constexpr uint32_t kRecord = 41;
  constexpr size_t kSizesAt = kRecord + 4;
  const std::vector<uint8_t> file = readFile(sample("laspy__append-bug.laz"));
  LayeredLaz laz;
  std::string error;
  ASSERT_TRUE(parseLayeredLaz(file, &laz, &error)) << error;
  ASSERT_EQ(laz.chunks.size(), 1u);
  const uint64_t points = laz.chunks[0].points;
  const std::vector<uint8_t> chunk(&file[laz.chunks[0].offset], &file[laz.chunks[0].offset] + laz.chunks[0].bytes);
  std::vector<uint8_t> out(points * kRecord);
  const auto decode = [&](std::vector<uint8_t> exact, std::string* e) {
    return decodeLayeredChunk(exact.data(), exact.size(), laz.info.items, kRecord, points, out.data(), e);
  };
  struct Damage {
    std::string what;
    std::vector<uint8_t> bytes;
    std::string cause;  // empty: any message
  };
  std::vector<Damage> damages;
  for (size_t keep : {size_t{0}, size_t{10}, size_t{kRecord}, size_t{kSizesAt + 3}, size_t{kSizesAt + 20},
                      size_t{kSizesAt + 56}, chunk.size() / 2, chunk.size() - 1})
    damages.push_back({"kept " + std::to_string(keep), {chunk.data(), chunk.data() + keep}, ""});
  const auto changed = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> bad = chunk;
    storeLe<uint32_t>(&bad[at], value);
    return bad;
  };
  const auto layerSize = [&](uint32_t layer) { return loadLe<uint32_t>(&chunk[kSizesAt + 4 * layer]); };
  for (uint32_t layer : {0u, 4u, 8u, 13u})
    damages.push_back({"layer past the chunk " + std::to_string(layer),
                       changed(kSizesAt + 4 * layer, layerSize(layer) + 100000), "warstw"});
  damages.push_back({"huge layer", changed(kSizesAt, 0xFFFFFFFFu), ""});
  damages.push_back({"point count", changed(kRecord, static_cast<uint32_t>(points + 1)), std::to_string(points + 1)});
  // Moving bytes from the X/Y layer to the Z layer keeps the total but starves X/Y;
  // moving all of them leaves the points after the first without their layer, which
  // once divided by the zero range of a decoder that was never started.
  for (uint32_t moved : {2000u, layerSize(0)}) {
    std::vector<uint8_t> bad = changed(kSizesAt, layerSize(0) - moved);
    storeLe<uint32_t>(&bad[kSizesAt + 4], layerSize(1) + moved);
    damages.push_back({"moved " + std::to_string(moved), bad, ""});
  }
  for (const Damage& d : damages) {
    EXPECT_FALSE(decode(d.bytes, &error)) << d.what;
    EXPECT_FALSE(error.empty()) << d.what;
    EXPECT_NE(error.find(d.cause), std::string::npos) << d.what << ": " << error;
    error.clear();
  }
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
  const std::vector<LaszipItem> items{{10, 30, 4}, {11, 6, 4}};
  std::vector<uint8_t> chunk, back(records.size());
  std::string error;
  ASSERT_TRUE(encodeLayeredChunk(records.data(), 4000, items, 36, &chunk, &error)) << error;
  ASSERT_TRUE(decodeLayeredChunk(chunk.data(), chunk.size(), items, 36, 4000, back.data(), &error)) << error;
  EXPECT_TRUE(back == records);
}

}  // namespace
}  // namespace kl::las::testing
