#pragma once

// Test scaffolding for the layered codec: the chunks of a LAZ file, and a minimal LAZ
// container (header, LASzip record, chunk table) around chunks of our own making.

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

}  // namespace kl::las::testing
