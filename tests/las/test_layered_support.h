#pragma once

// Test scaffolding for the layered codec: a minimal LAZ container (header, LASzip record,
// chunk table) around decodeLayeredChunk / encodeLayeredChunk, with full control of the
// chunks (variable counts, single points, items the writer does not produce).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cloud/las/chunk_table.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"
#include "cloud/las/las_header.h"
#include "cloud/las/laszip_vlr.h"
#include "cloud/las/layered_codec.h"
#include "tests/las/las_test_support.h"

namespace kl::las::testing {

using test::readFile;
using test::sample;
using test::writeFile;

struct LayeredLaz {
  uint8_t pointFormat = 0;
  uint16_t recordLength = 0;
  uint64_t pointCount = 0;
  LaszipInfo info;
  std::vector<LazChunk> chunks;
};

// Finds the layered chunks of a LAZ file with the reader's own header and chunk table
// code, which the oracle tests check on every sample.
inline bool parseLayeredLaz(const std::vector<uint8_t>& f, LayeredLaz* laz, std::string* error) {
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

// Assembles a LAS 1.4 LAZ file around stored chunks (variable chunks when variable is set).
inline std::vector<uint8_t> assembleLayeredLaz(uint8_t pointFormat, uint16_t recordLength,
                                               const std::vector<LaszipItem>& items, uint32_t chunkSize,
                                               bool variable, const std::vector<std::vector<uint8_t>>& chunks,
                                               const std::vector<uint32_t>& counts) {
  uint64_t count = 0;
  for (uint32_t n : counts) count += n;
  LaszipInfo info;
  info.compressor = 3;
  info.chunkSize = variable ? kVariableChunkSize : chunkSize;
  info.items = items;
  const std::vector<uint8_t> vlr = serializeLaszipVlr(info);
  LasHeader h;
  h.versionMinor = 4;
  h.headerSize = 375;
  h.pointDataOffset = static_cast<uint32_t>(375 + 54 + vlr.size());
  h.vlrCountDeclared = 1;
  h.pointFormat = pointFormat;
  h.pointFormatByte = static_cast<uint8_t>(0x80 | pointFormat);
  h.recordLength = recordLength;
  h.pointCount = count;
  std::vector<uint8_t> f = serializeLasHeader(h);
  std::vector<uint8_t> vlrHeader(54, 0);
  const char* user = kLaszipVlrUserId;
  for (size_t i = 0; user[i] != 0; ++i) vlrHeader[2 + i] = static_cast<uint8_t>(user[i]);
  storeLe<uint16_t>(&vlrHeader[18], kLaszipVlrRecordId);
  storeLe<uint16_t>(&vlrHeader[20], static_cast<uint16_t>(vlr.size()));
  f.insert(f.end(), vlrHeader.begin(), vlrHeader.end());
  f.insert(f.end(), vlr.begin(), vlr.end());
  const size_t tableOffsetAt = f.size();
  appendLe<int64_t>(&f, 0);
  for (const auto& c : chunks) f.insert(f.end(), c.begin(), c.end());
  storeLe<int64_t>(&f[tableOffsetAt], static_cast<int64_t>(f.size()));
  std::vector<LazChunk> table;
  for (size_t i = 0; i < chunks.size(); ++i) table.push_back({0, chunks[i].size(), counts[i], 0});
  appendChunkTable(table, variable, &f);
  return f;
}

// Encodes records with our codec into a LAZ file (variable chunks when variableCounts is
// given) and expects our reader and laz-perf to give them back.
inline void expectRoundTrip(const std::vector<uint8_t>& records, uint8_t format, uint16_t recordLength,
                            uint32_t chunkSize, const std::string& tag,
                            const std::vector<uint32_t>& variableCounts = {}) {
  const uint64_t count = records.size() / recordLength;
  std::vector<uint32_t> counts = variableCounts;
  if (counts.empty())
    for (uint64_t done = 0; done < count; done += chunkSize)
      counts.push_back(static_cast<uint32_t>(std::min<uint64_t>(count - done, chunkSize)));
  const std::vector<LaszipItem> items = standardLaszipItems(format, recordLength);
  std::vector<std::vector<uint8_t>> chunks(counts.size());
  std::string error;
  uint64_t done = 0;
  for (size_t i = 0; i < counts.size(); done += counts[i], ++i)
    ASSERT_TRUE(encodeLayeredChunk(records.data() + done * recordLength, counts[i], items, recordLength, &chunks[i],
                                   &error)) << error;
  const std::vector<uint8_t> file =
      assembleLayeredLaz(format, recordLength, items, chunkSize, !variableCounts.empty(), chunks, counts);
  const test::Decoded ours = test::decodeBytes(file, tag);
  ASSERT_TRUE(ours.status.ok) << tag << ": " << ours.status.message;
  EXPECT_TRUE(ours.records == records) << tag << ": our reader";
  const std::string path = test::tempFile("layered_roundtrip_" + tag + ".laz");
  writeFile(path, file);
  std::vector<uint8_t> oracle;
  ASSERT_TRUE(test::lazPerfDecode(path, &oracle)) << tag << ": laz-perf could not decode our file";
  EXPECT_TRUE(oracle == records) << tag << ": laz-perf";
}

}  // namespace kl::las::testing
