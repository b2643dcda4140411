#include "cloud/las/chunk_table.h"

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"

namespace kl::las {

namespace {

LasStatus fail(const std::string& name, const std::string& cause) {
  return LasStatus::failure("Plik " + name + ": " + cause);
}

// End of the point data area: EVLRs, when present, follow the chunk table.
uint64_t dataEnd(const LasHeader& h, uint64_t after) {
  if (h.evlrCount > 0 && h.evlrStart > after && h.evlrStart <= h.fileSize) return h.evlrStart;
  return h.fileSize;
}

ChunkTableResult fallback(ChunkTableResult r, const LaszipInfo& info, const std::string& name, std::string why) {
  if (info.variableChunks()) {
    r.status = fail(name, why + ", a chunki maja zmienna liczbe punktow - nie mozna odczytac punktow");
    return r;
  }
  r.sequential = true;
  r.reason = std::move(why);
  r.chunks.clear();
  return r;
}

}  // namespace

ChunkTableResult readChunkTable(const LasFile& file, const LasHeader& h, const LaszipInfo& info,
                                const std::string& name) {
  ChunkTableResult r;
  const uint64_t start = h.pointDataOffset;
  if (info.compressor == static_cast<uint16_t>(LaszipCompressor::Pointwise)) {
    // one stream for all points, no table
    r.chunks.push_back({start, dataEnd(h, start) - start, h.pointCount, 0});
    return r;
  }
  if (h.pointCount == 0) return r;
  uint8_t word[8];
  if (!file.readAt(start, 8, word)) {
    r.status = fail(name, "brak danych punktow (plik urwany)");
    return r;
  }
  int64_t tableOffset = loadLe<int64_t>(word);
  if (tableOffset == -1) {
    if (h.fileSize < start + 16 || !file.readAt(h.fileSize - 8, 8, word)) {
      return fallback(std::move(r), info, name, "brak tablicy chunkow");
    }
    tableOffset = loadLe<int64_t>(word);
  }
  const uint64_t firstChunk = start + 8;
  if (tableOffset < 0 || static_cast<uint64_t>(tableOffset) == start) {
    return fallback(std::move(r), info, name, "tablica chunkow nie zostala zapisana");
  }
  const auto table = static_cast<uint64_t>(tableOffset);
  if (table < firstChunk || table > h.fileSize || h.fileSize - table < 8) {
    return fallback(std::move(r), info, name,
                    "tablica chunkow (przesuniecie " + std::to_string(tableOffset) + ") wskazuje poza plik");
  }
  uint8_t head[8];
  if (!file.readAt(table, 8, head)) return fallback(std::move(r), info, name, "nie mozna odczytac tablicy chunkow");
  const uint32_t version = loadLe<uint32_t>(head);
  const uint32_t count = loadLe<uint32_t>(head + 4);
  if (version != 0) {
    return fallback(std::move(r), info, name, "nieprawidlowa wersja tablicy chunkow " + std::to_string(version));
  }
  // every chunk holds at least its raw first record
  if (count == 0 || count > (table - firstChunk) / h.recordLength) {
    return fallback(std::move(r), info, name,
                    "tablica chunkow deklaruje " + std::to_string(count) + " chunkow, niezgodnie z rozmiarem pliku");
  }
  const uint64_t streamEnd = dataEnd(h, table);
  std::vector<uint8_t> stream(static_cast<size_t>(streamEnd - table - 8));
  if (!file.readAt(table + 8, stream.size(), stream.data())) {
    return fallback(std::move(r), info, name, "nie mozna odczytac tablicy chunkow");
  }
  ArithmeticDecoder dec;
  if (!dec.init(stream.data(), stream.size())) return fallback(std::move(r), info, name, "tablica chunkow urwana");
  IntegerCompressor ic(32, 2);
  ic.resetModels();
  const bool variable = info.variableChunks();
  r.chunks.reserve(count);
  int32_t lastPoints = 0, lastBytes = 0;
  uint64_t offset = firstChunk, firstPoint = 0;
  for (uint32_t i = 0; i < count; ++i) {
    LazChunk c;
    if (variable) {
      lastPoints = ic.decompress(dec, lastPoints, 0);
      c.points = static_cast<uint32_t>(lastPoints);
    } else {
      c.points = info.chunkSize;
    }
    lastBytes = ic.decompress(dec, lastBytes, 1);
    c.bytes = static_cast<uint32_t>(lastBytes);
    c.offset = offset;
    c.firstPoint = firstPoint;
    if (dec.overrun() || c.bytes < h.recordLength || c.bytes > table - offset) {
      return fallback(std::move(r), info, name, "tablica chunkow jest uszkodzona (chunk " + std::to_string(i + 1) +
                                                    " wychodzi poza dane punktow)");
    }
    offset += c.bytes;
    firstPoint += c.points;
    r.chunks.push_back(c);
    if (firstPoint >= h.pointCount) break;
  }
  if (firstPoint < h.pointCount) {
    r.status = fail(name, "naglowek deklaruje " + std::to_string(h.pointCount) + " punktow, a chunki zawieraja " +
                              std::to_string(firstPoint));
    return r;
  }
  // the last chunk holds only what the header counts
  r.chunks.back().points -= firstPoint - h.pointCount;
  return r;
}

void appendChunkTable(const std::vector<LazChunk>& chunks, bool variable, std::vector<uint8_t>* out) {
  appendLe<uint32_t>(out, 0);
  appendLe<uint32_t>(out, static_cast<uint32_t>(chunks.size()));
  if (chunks.empty()) return;
  ArithmeticEncoder enc;
  enc.init(out);
  IntegerCompressor ic(32, 2);
  ic.resetModels();
  int32_t lastPoints = 0, lastBytes = 0;
  for (const LazChunk& c : chunks) {
    if (variable) {
      ic.compress(enc, lastPoints, static_cast<int32_t>(c.points), 0);
      lastPoints = static_cast<int32_t>(c.points);
    }
    ic.compress(enc, lastBytes, static_cast<int32_t>(c.bytes), 1);
    lastBytes = static_cast<int32_t>(c.bytes);
  }
  enc.done();
}

}  // namespace kl::las
