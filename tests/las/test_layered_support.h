#pragma once

// Test scaffolding for the layered codec: a minimal LAZ container (header, LASzip record,
// chunk table) around decodeLayeredChunk / encodeLayeredChunk, with full control of the
// chunks (variable counts, single points, items the writer does not produce).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/laszip_vlr.h"
#include "cloud/las/layered_codec.h"
#include "tests/las/las_test_support.h"

namespace kl::las::testing {

using test::readFile;
using test::sample;
using test::writeFile;

// A sample file name as a test name.
inline std::string testNameOf(std::string file) {
  for (char& c : file) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) c = '_';
  }
  return file;
}

struct LayeredChunk {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t points = 0;
};

struct LayeredLaz {
  uint8_t pointFormat = 0;
  uint16_t recordLength = 0;
  uint64_t pointCount = 0;
  uint32_t pointDataOffset = 0;
  LaszipInfo info;
  std::vector<LayeredChunk> chunks;
};

// Parses just enough of a LAZ file to find its layered chunks.
inline bool parseLayeredLaz(const std::vector<uint8_t>& f, LayeredLaz* laz, std::string* error) {
  auto failWith = [error](const char* text) {
    *error = text;
    return false;
  };
  if (f.size() < 227 || f[0] != 'L' || f[1] != 'A' || f[2] != 'S' || f[3] != 'F') return failWith("not LAS");
  const uint16_t headerSize = loadLe<uint16_t>(&f[94]);
  laz->pointDataOffset = loadLe<uint32_t>(&f[96]);
  const uint32_t vlrCount = loadLe<uint32_t>(&f[100]);
  laz->pointFormat = f[104] & 0x3F;
  laz->recordLength = loadLe<uint16_t>(&f[105]);
  laz->pointCount = loadLe<uint32_t>(&f[107]);
  if (f[25] >= 4 && f.size() >= 255 && loadLe<uint64_t>(&f[247]) != 0) laz->pointCount = loadLe<uint64_t>(&f[247]);
  size_t p = headerSize;
  bool found = false;
  for (uint32_t i = 0; i < vlrCount && p + 54 <= laz->pointDataOffset; ++i) {
    const uint16_t length = loadLe<uint16_t>(&f[p + 20]);
    if (fixedText(&f[p + 2], 16) == kLaszipVlrUserId && loadLe<uint16_t>(&f[p + 18]) == kLaszipVlrRecordId) {
      if (!parseLaszipVlr(&f[p + 54], length, &laz->info)) return failWith("bad LASzip record");
      found = true;
    }
    p += 54 + length;
  }
  if (!found) return failWith("no LASzip record");
  if (laz->pointCount == 0) return true;
  if (f.size() < laz->pointDataOffset + 8u) return failWith("no chunk table offset");
  int64_t tableOffset = loadLe<int64_t>(&f[laz->pointDataOffset]);
  if (tableOffset == -1) tableOffset = loadLe<int64_t>(&f[f.size() - 8]);
  if (tableOffset < 0 || static_cast<uint64_t>(tableOffset) + 8 > f.size()) return failWith("chunk table outside");
  const auto t = static_cast<size_t>(tableOffset);
  const uint32_t chunkCount = loadLe<uint32_t>(&f[t + 4]);
  ArithmeticDecoder dec;
  if (!dec.init(&f[t + 8], f.size() - t - 8)) return failWith("chunk table truncated");
  IntegerCompressor ic(32, 2);
  ic.resetModels();
  const bool variable = laz->info.variableChunks();
  int32_t lastCount = 0, lastSize = 0;
  uint64_t start = laz->pointDataOffset + 8u, remaining = laz->pointCount;
  for (uint32_t i = 0; i < chunkCount; ++i) {
    LayeredChunk c;
    if (variable) {
      lastCount = ic.decompress(dec, lastCount, 0);
      c.points = static_cast<uint32_t>(lastCount);
    } else {
      c.points = remaining < laz->info.chunkSize ? remaining : laz->info.chunkSize;
    }
    lastSize = ic.decompress(dec, lastSize, 1);
    c.offset = start;
    c.size = static_cast<uint32_t>(lastSize);
    start += c.size;
    remaining -= c.points < remaining ? c.points : remaining;
    if (start > f.size()) return failWith("chunk past the end");
    laz->chunks.push_back(c);
  }
  return true;
}

// Decodes all points of a layered file with our codec.
inline bool decodeLayered(const std::vector<uint8_t>& f, const LayeredLaz& laz, std::vector<uint8_t>* records,
                          std::string* error) {
  records->assign(laz.pointCount * laz.recordLength, 0);
  uint64_t done = 0;
  for (const LayeredChunk& c : laz.chunks) {
    if (done + c.points > laz.pointCount) {
      *error = "more points in chunks than in header";
      return false;
    }
    if (!decodeLayeredChunk(&f[c.offset], c.size, laz.info.items, laz.recordLength, c.points,
                            records->data() + done * laz.recordLength, error)) {
      return false;
    }
    done += c.points;
  }
  return done == laz.pointCount;
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
  std::vector<uint8_t> f(375, 0);
  f[0] = 'L'; f[1] = 'A'; f[2] = 'S'; f[3] = 'F';
  f[24] = 1;
  f[25] = 4;
  storeLe<uint16_t>(&f[94], 375);
  storeLe<uint32_t>(&f[96], static_cast<uint32_t>(375 + 54 + vlr.size()));
  storeLe<uint32_t>(&f[100], 1);
  f[104] = static_cast<uint8_t>(0x80 | pointFormat);
  storeLe<uint16_t>(&f[105], recordLength);
  for (int i = 0; i < 3; ++i) storeLe<double>(&f[131 + 8 * i], 0.01);
  storeLe<uint64_t>(&f[247], count);
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
  appendLe<uint32_t>(&f, 0);
  appendLe<uint32_t>(&f, static_cast<uint32_t>(chunks.size()));
  ArithmeticEncoder enc;
  enc.init(&f);
  IntegerCompressor ic(32, 2);
  ic.resetModels();
  int32_t lastCount = 0, lastSize = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (variable) {
      ic.compress(enc, lastCount, static_cast<int32_t>(counts[i]), 0);
      lastCount = static_cast<int32_t>(counts[i]);
    }
    ic.compress(enc, lastSize, static_cast<int32_t>(chunks[i].size()), 1);
    lastSize = static_cast<int32_t>(chunks[i].size());
  }
  enc.done();
  return f;
}

// Encodes records with our codec into a LAZ file (variable chunks when variableCounts is given).
inline bool encodeLayered(const std::vector<uint8_t>& records, uint8_t pointFormat, uint16_t recordLength,
                          const std::vector<LaszipItem>& items, uint32_t chunkSize, std::vector<uint8_t>* file,
                          std::string* error, const std::vector<uint32_t>& variableCounts = {}) {
  const uint64_t count = records.size() / recordLength;
  std::vector<uint32_t> counts = variableCounts;
  if (counts.empty()) {
    for (uint64_t done = 0; done < count; done += chunkSize) {
      counts.push_back(static_cast<uint32_t>(count - done < chunkSize ? count - done : chunkSize));
    }
  }
  std::vector<std::vector<uint8_t>> chunks(counts.size());
  uint64_t done = 0;
  for (size_t i = 0; i < counts.size(); ++i) {
    if (!encodeLayeredChunk(records.data() + done * recordLength, counts[i], items, recordLength, &chunks[i],
                            error)) {
      return false;
    }
    done += counts[i];
  }
  *file = assembleLayeredLaz(pointFormat, recordLength, items, chunkSize, !variableCounts.empty(), chunks, counts);
  return true;
}

// The item list of a format 6-10 record with extra bytes, as our writer declares it.
inline std::vector<LaszipItem> layeredItems(uint8_t format, uint16_t recordLength) {
  std::vector<LaszipItem> items{{10, 30, 3}};
  uint16_t size = 30;
  if (format == 7) items.push_back({11, 6, 3});
  if (format == 8 || format == 10) items.push_back({12, 8, 3});
  if (format == 9 || format == 10) items.push_back({13, 29, 3});
  for (const auto& it : items) size = static_cast<uint16_t>(size + (it.type == 10 ? 0 : it.size));
  if (recordLength > size) items.push_back({14, static_cast<uint16_t>(recordLength - size), 3});
  return items;
}

// Encodes records into a LAZ file and expects our decoder and laz-perf to give them back.
inline void expectRoundTrip(const std::vector<uint8_t>& records, uint8_t format, uint16_t recordLength,
                            uint32_t chunkSize, const std::string& tag,
                            const std::vector<uint32_t>& variableCounts = {}) {
  std::vector<uint8_t> file, ours, oracle;
  std::string error;
  ASSERT_TRUE(encodeLayered(records, format, recordLength, layeredItems(format, recordLength), chunkSize, &file,
                            &error, variableCounts))
      << error;
  LayeredLaz laz;
  ASSERT_TRUE(parseLayeredLaz(file, &laz, &error)) << error;
  EXPECT_TRUE(decodeLayered(file, laz, &ours, &error)) << error;
  EXPECT_TRUE(ours == records) << tag << ": our decoder";
  const std::string path = test::tempFile("layered_roundtrip_" + tag + ".laz");
  writeFile(path, file);
  ASSERT_TRUE(test::lazPerfDecode(path, &oracle)) << tag << ": laz-perf could not decode our file";
  EXPECT_TRUE(oracle == records) << tag << ": laz-perf";
}

}  // namespace kl::las::testing
