#include "cloud/las/las_writer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cloud/las/las_bytes.h"
#include "cloud/las/layered_codec.h"
#include "cloud/las/pointwise_chunk_decoder.h"
#include "cloud/las/unique_temp.h"

namespace kl::las {

namespace {

bool syncToDisk(std::FILE* f) {
#if defined(_WIN32)
  return _commit(_fileno(f)) == 0;
#else
  return ::fsync(::fileno(f)) == 0;
#endif
}

constexpr size_t kCopyPiece = 1 << 20;

bool isLaszipRecord(const LasVlr& v) { return v.userId == kLaszipVlrUserId && v.recordId == kLaszipVlrRecordId; }

std::string recordName(const LasVlr& v) { return v.userId + "/" + std::to_string(v.recordId); }

std::vector<uint8_t> recordHeader(const LasVlr& v) {
  std::vector<uint8_t> out;
  appendLe<uint16_t>(&out, 0);
  appendFixedText(&out, v.userId, 16);
  appendLe<uint16_t>(&out, v.recordId);
  if (v.extended) {
    appendLe<uint64_t>(&out, v.payloadLength());
  } else {
    appendLe<uint16_t>(&out, static_cast<uint16_t>(v.payload.size()));
  }
  appendFixedText(&out, v.description, 32);
  return out;
}

}  // namespace

LasWriter::LasWriter() = default;

LasWriter::~LasWriter() {
  if (file_ != nullptr) {
    std::fclose(file_);
    std::remove(tempPath_.c_str());
  }
}

LasStatus LasWriter::fail(const std::string& cause) {
  failed_ = true;
  return LasStatus::failure("Plik " + path_ + ": " + cause);
}

LasStatus LasWriter::put(const void* data, size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) return fail("blad zapisu");
  position_ += size;
  return LasStatus::success();
}

LasStatus LasWriter::putAt(uint64_t offset, const void* data, size_t size) {
#if defined(_WIN32)
  const int sought = _fseeki64(file_, static_cast<long long>(offset), SEEK_SET);
#else
  const int sought = fseeko(file_, static_cast<off_t>(offset), SEEK_SET);
#endif
  if (sought != 0) return fail("blad zapisu");
  if (std::fwrite(data, 1, size, file_) != size) return fail("blad zapisu");
  return LasStatus::success();
}

// Splits the header's records into VLRs (before the points) and EVLRs (after them); a
// LASzip record describes the source's compression, never ours, so it is dropped.
LasStatus LasWriter::takeRecords(std::vector<LasVlr>&& records) {
  std::vector<LasVlr> vlrs;
  evlrs_.clear();
  for (LasVlr& v : records) {
    if (isLaszipRecord(v)) continue;
    if (!v.extended) {
      if (v.payload.size() > 0xFFFF) {
        return fail("rekord VLR " + recordName(v) + " ma " + std::to_string(v.payload.size()) +
                    " B, a miesci najwyzej 65535 B");
      }
      vlrs.push_back(std::move(v));
      continue;
    }
    const size_t number = evlrs_.size() + 1;
    if (v.locatedLength != 0) {
      if (!options_.payloadSource) {
        return fail("rekord EVLR nr " + std::to_string(number) + " (" + recordName(v) +
                    ") nie zostal wczytany, a nie podano pliku, z ktorego mozna go skopiowac");
      }
      if (v.payloadOffset > std::numeric_limits<uint64_t>::max() - v.locatedLength) {
        return fail("rekord EVLR nr " + std::to_string(number) + " (" + recordName(v) + ") ma bledne polozenie");
      }
    }
    evlrs_.push_back(std::move(v));
  }
  if (evlrs_.size() > std::numeric_limits<uint32_t>::max()) return fail("za duzo rekordow EVLR");
  header_.vlrs = std::move(vlrs);
  return LasStatus::success();
}

LasStatus LasWriter::open(const std::string& path, const LasHeader& header, const LasWriteOptions& options) {
  path_ = path;
  header_ = header;
  options_ = options;
  LasHeader& h = header_;
  if (standardRecordLength(h.pointFormat) == 0 || h.recordLength < standardRecordLength(h.pointFormat)) {
    return fail("nieprawidlowy format punktow lub dlugosc rekordu");
  }
  // Their records point into waveform data that this writer does not carry over.
  if (formatHasWavePacket(h.pointFormat)) {
    return fail("zapis formatu punktow " + std::to_string(h.pointFormat) + " (z pakietami fal) nie jest obslugiwany");
  }
  if (options_.chunkSize == 0) options_.chunkSize = 50000;
  if (LasStatus st = takeRecords(std::move(h.vlrs)); !st) return st;
  // 1.2 holds every legacy format; extended formats and any EVLR need 1.4
  h.versionMajor = 1;
  h.versionMinor = formatIsExtended(h.pointFormat) || !evlrs_.empty() ? 4 : 2;
  if (options_.compress) {
    info_ = LaszipInfo{};
    info_.compressor = static_cast<uint16_t>(formatIsExtended(h.pointFormat) ? LaszipCompressor::LayeredChunked
                                                                             : LaszipCompressor::PointwiseChunked);
    info_.chunkSize = options_.chunkSize;
    info_.items = standardLaszipItems(h.pointFormat, h.recordLength);
    LasVlr z;
    z.userId = kLaszipVlrUserId;
    z.recordId = kLaszipVlrRecordId;
    z.description = "kartolink";
    z.payload = serializeLaszipVlr(info_);
    h.vlrs.push_back(std::move(z));
  }
  h.vlrCountDeclared = static_cast<uint32_t>(h.vlrs.size());
  h.pointFormatByte = static_cast<uint8_t>(h.pointFormat | (options_.compress ? 0x80 : 0));
  h.evlrCount = 0;
  h.evlrStart = 0;
  h.waveformStart = 0;
  h.generatingSoftware = "KARTOLINK";
  std::vector<uint8_t> head = serializeLasHeader(h);
  h.headerSize = static_cast<uint16_t>(head.size());
  uint64_t offset = head.size();
  for (const LasVlr& v : h.vlrs) offset += kVlrHeaderSize + v.payload.size();
  if (offset > std::numeric_limits<uint32_t>::max()) return fail("rekordy VLR nie mieszcza sie przed danymi punktow");
  h.pointDataOffset = static_cast<uint32_t>(offset);

  file_ = createUniqueTemp(path_, tempPath_);
  if (file_ == nullptr) return fail("nie mozna utworzyc pliku");
  // header placeholder; rewritten by close() with the final counts
  head = serializeLasHeader(h);
  if (LasStatus st = put(head.data(), head.size()); !st) return st;
  for (const LasVlr& v : h.vlrs) {
    const std::vector<uint8_t> vh = recordHeader(v);
    if (LasStatus st = put(vh.data(), vh.size()); !st) return st;
    if (LasStatus st = put(v.payload.data(), v.payload.size()); !st) return st;
  }
  if (options_.compress) {
    const int64_t placeholder = -1;
    if (LasStatus st = put(&placeholder, 8); !st) return st;
  }
  lo_.fill(std::numeric_limits<int32_t>::max());
  hi_.fill(std::numeric_limits<int32_t>::min());
  h.pointsByReturn.fill(0);
  return LasStatus::success();
}

void LasWriter::account(const uint8_t* records, uint64_t count) {
  const size_t rl = header_.recordLength;
  const bool extended = formatIsExtended(header_.pointFormat);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = records + i * rl;
    for (size_t a = 0; a < 3; ++a) {
      const int32_t v = loadLe<int32_t>(p + 4 * a);
      if (v < lo_[a]) lo_[a] = v;
      if (v > hi_[a]) hi_[a] = v;
    }
    const unsigned r = extended ? (p[14] & 15u) : (p[14] & 7u);
    if (r >= 1 && r <= 15) ++header_.pointsByReturn[r - 1];
  }
}

LasStatus LasWriter::write(const uint8_t* records, uint64_t count) {
  if (failed_ || file_ == nullptr) return LasStatus::failure("Plik " + path_ + ": zapis przerwany");
  account(records, count);
  points_ += count;
  const size_t rl = header_.recordLength;
  if (!options_.compress) return put(records, static_cast<size_t>(count * rl));
  while (count > 0) {
    const uint64_t room = options_.chunkSize - pending_.size() / rl;
    const uint64_t n = count < room ? count : room;
    pending_.insert(pending_.end(), records, records + n * rl);
    records += n * rl;
    count -= n;
    if (pending_.size() / rl == options_.chunkSize) {
      if (LasStatus st = flushChunk(); !st) return st;
    }
  }
  return LasStatus::success();
}

LasStatus LasWriter::flushChunk() {
  const size_t rl = header_.recordLength;
  const uint64_t n = pending_.size() / rl;
  if (n == 0) return LasStatus::success();
  coded_.clear();
  if (formatIsExtended(header_.pointFormat)) {
    std::string error;
    if (!encodeLayeredChunk(pending_.data(), n, info_.items, header_.recordLength, &coded_, &error)) {
      return fail(error);
    }
  } else {
    if (!pointwise_) pointwise_ = std::make_unique<PointwiseChunkEncoder>(info_.items, header_.recordLength);
    pointwise_->encode(pending_.data(), n, &coded_);
  }
  LazChunk c;
  c.offset = position_;
  c.bytes = coded_.size();
  c.points = n;
  c.firstPoint = points_ - n;
  chunks_.push_back(c);
  pending_.clear();
  return put(coded_.data(), coded_.size());
}

LasStatus LasWriter::copyLocatedPayload(const LasVlr& evlr, size_t number) {
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(evlr.locatedLength, kCopyPiece)));
  for (uint64_t done = 0; done < evlr.locatedLength;) {
    const auto n = static_cast<size_t>(std::min<uint64_t>(evlr.locatedLength - done, piece.size()));
    if (!options_.payloadSource(evlr.payloadOffset + done, n, piece.data())) {
      return fail("nie mozna odczytac rekordu EVLR nr " + std::to_string(number) + " (" + recordName(evlr) +
                  ") z pliku zrodlowego: brak " + std::to_string(evlr.locatedLength - done) + " B od przesuniecia " +
                  std::to_string(evlr.payloadOffset + done));
    }
    if (LasStatus st = put(piece.data(), n); !st) return st;
    done += n;
  }
  return LasStatus::success();
}

LasStatus LasWriter::writeEvlrs() {
  header_.evlrStart = evlrs_.empty() ? 0 : position_;
  header_.evlrCount = static_cast<uint32_t>(evlrs_.size());
  for (size_t i = 0; i < evlrs_.size(); ++i) {
    const LasVlr& e = evlrs_[i];
    const std::vector<uint8_t> eh = recordHeader(e);
    LasStatus st = put(eh.data(), eh.size());
    if (st) st = e.locatedLength != 0 ? copyLocatedPayload(e, i + 1) : put(e.payload.data(), e.payload.size());
    if (!st) return st;
  }
  return LasStatus::success();
}

LasStatus LasWriter::close() {
  if (file_ == nullptr) return LasStatus::failure("Plik " + path_ + ": nie otwarty");
  LasStatus st;
  int64_t tableOffset = -1;
  if (!failed_ && options_.compress) {
    st = flushChunk();
    tableOffset = static_cast<int64_t>(position_);
    std::vector<uint8_t> table;
    appendChunkTable(chunks_, false, &table);
    if (st) st = put(table.data(), table.size());
  }
  if (!failed_ && st) st = writeEvlrs();
  if (!failed_ && st && options_.compress) st = putAt(header_.pointDataOffset, &tableOffset, 8);
  if (!failed_ && st) {
    LasHeader& h = header_;
    h.pointCount = points_;
    for (size_t a = 0; a < 3; ++a) {
      if (points_ == 0) {
        h.min[a] = h.max[a] = 0;
      } else {
        h.min[a] = lo_[a] * h.scale[a] + h.offset[a];
        h.max[a] = hi_[a] * h.scale[a] + h.offset[a];
      }
    }
    if (h.versionMinor < 4 && points_ > 0xFFFFFFFFu) st = fail("za duzo punktow dla formatu LAS 1.2");
    if (st) {
      const std::vector<uint8_t> head = serializeLasHeader(h);
      st = putAt(0, head.data(), head.size());
    }
  }
  if (failed_ && st) st = LasStatus::failure("Plik " + path_ + ": zapis przerwany");
  // The data must be on disk before the rename makes it the file: a crash then leaves
  // either the old file or the whole new one.
  bool closed = std::fflush(file_) == 0 && syncToDisk(file_);
  closed = std::fclose(file_) == 0 && closed;
  file_ = nullptr;
  if (st && !closed) st = fail("blad zapisu");
  if (st) {
    // filesystem::rename replaces an existing target on every platform, std::rename not on Windows
    std::error_code ec;
    std::filesystem::rename(tempPath_, path_, ec);
    if (ec) st = fail("nie mozna zamienic pliku tymczasowego");
  }
  if (!st) std::remove(tempPath_.c_str());
  return st;
}

LasStatus writeLasFile(const std::string& path, const LasHeader& header, const uint8_t* records, uint64_t count,
                       const LasWriteOptions& options) {
  LasWriter writer;
  if (LasStatus st = writer.open(path, header, options); !st) return st;
  if (LasStatus st = writer.write(records, count); !st) {
    writer.close();
    return st;
  }
  return writer.close();
}

}  // namespace kl::las
