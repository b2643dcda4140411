#include "cloud/las/chunk_decoder.h"

#include <algorithm>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"
#include "cloud/las/layered_codec.h"
#include "cloud/las/pointwise_chunk_decoder.h"

namespace kl::las {

namespace {
// Records are produced in slices, so a chunk that claims more points than its data
// holds fails on the data, not on an allocation of the claimed size.
constexpr uint64_t kSlicePoints = 65536;
// A layered chunk is decoded in one piece, so its claimed count is checked against its
// stored size first: beyond this ratio of record bytes to stored bytes (or the floor,
// for tiny chunks of constant points) the count cannot be genuine.
constexpr uint64_t kMaxLayeredExpansion = 4096;
constexpr uint64_t kLayeredFloorBytes = 4u << 20;

uint32_t layerCount(const LaszipItem& it) {
  switch (static_cast<LaszipItemType>(it.type)) {
    case LaszipItemType::Point14: return 9;
    case LaszipItemType::RgbNir14: return 2;
    case LaszipItemType::Byte14: return it.size;
    default: return 1;
  }
}
}  // namespace

ChunkDecoder::ChunkDecoder(const LasFile& file, const LasHeader& header, const LaszipInfo& info, std::string name,
                           RecordFields fields)
    : file_(file), header_(header), info_(info), name_(std::move(name)), fields_(fields) {
  dataEnd_ = header.fileSize;
  if (header.evlrCount > 0 && header.evlrStart > header.pointDataOffset && header.evlrStart < dataEnd_) {
    dataEnd_ = header.evlrStart;
  }
  if (!info.layered()) pointwise_ = std::make_unique<PointwiseChunkDecoder>(info.items, header.recordLength);
}

ChunkDecoder::~ChunkDecoder() = default;

LasStatus ChunkDecoder::fail(size_t index, const std::string& cause) const {
  return LasStatus::failure("Plik " + name_ + ": chunk " + std::to_string(index + 1) + ": " + cause);
}

LasStatus ChunkDecoder::decode(const LazChunk& chunk, size_t index, std::vector<uint8_t>* records) {
  if (chunk.offset > file_.size() || chunk.bytes > file_.size() - chunk.offset) {
    return fail(index, "wychodzi poza koniec pliku (plik urwany)");
  }
  stored_.resize(static_cast<size_t>(chunk.bytes));
  if (!file_.readAt(chunk.offset, stored_.size(), stored_.data())) return fail(index, "blad odczytu");
  uint64_t stored = 0;
  return decodeBuffer(chunk, index, records, &stored);
}

LasStatus ChunkDecoder::decodeAt(const LazChunk& chunk, size_t index, std::vector<uint8_t>* records,
                                 uint64_t* stored) {
  if (chunk.offset >= dataEnd_) return fail(index, "brak danych (plik urwany)");
  const uint64_t available = dataEnd_ - chunk.offset;
  // A coded chunk is never much larger than its records; reading a bounded window keeps
  // memory at one chunk even when the rest of the file is large.
  const uint64_t window = std::min<uint64_t>(available, chunk.points * header_.recordLength * 2 + 4096);
  stored_.resize(static_cast<size_t>(window));
  if (!file_.readAt(chunk.offset, stored_.size(), stored_.data())) return fail(index, "blad odczytu");
  if (info_.layered()) {
    const uint64_t size = layeredStoredSize(stored_.data(), stored_.size());
    if (size == 0 || size > available) return fail(index, "urwany lub uszkodzony naglowek warstw");
    if (size > stored_.size()) {
      stored_.resize(static_cast<size_t>(size));
      if (!file_.readAt(chunk.offset, stored_.size(), stored_.data())) return fail(index, "blad odczytu");
    }
    stored_.resize(static_cast<size_t>(size));
  }
  return decodeBuffer(chunk, index, records, stored);
}

uint64_t ChunkDecoder::layeredStoredSize(const uint8_t* data, size_t size) const {
  uint64_t layers = 0;
  for (const LaszipItem& it : info_.items) layers += layerCount(it);
  const uint64_t headerBytes = header_.recordLength + 4 + 4 * layers;
  if (size < headerBytes) return 0;
  uint64_t total = headerBytes;
  for (uint64_t i = 0; i < layers; ++i) total += loadLe<uint32_t>(data + header_.recordLength + 4 + 4 * i);
  return total;
}

LasStatus ChunkDecoder::decodeBuffer(const LazChunk& chunk, size_t index, std::vector<uint8_t>* records,
                                     uint64_t* stored) {
  const size_t rl = header_.recordLength;
  if (chunk.points == 0) {
    records->clear();
    *stored = 0;
    return LasStatus::success();
  }
  if (info_.layered()) {
    if (chunk.points * rl > std::max<uint64_t>(kMaxLayeredExpansion * stored_.size(), kLayeredFloorBytes)) {
      return fail(index, "deklaruje " + std::to_string(chunk.points) + " punktow, wiecej niz moga zawierac jego dane");
    }
    records->clear();
    records->resize(static_cast<size_t>(chunk.points * rl));
    std::string error;
    if (!decodeLayeredChunk(stored_.data(), stored_.size(), info_.items, header_.recordLength, chunk.points,
                            records->data(), &error, fields_)) {
      return fail(index, error);
    }
    *stored = stored_.size();
    return LasStatus::success();
  }
  // Every byte of a point-wise record is decoded, so the previous chunk's records are
  // overwritten in place: only growth of the buffer is zero-filled.
  const uint64_t firstSlice = std::min<uint64_t>(chunk.points, kSlicePoints) * rl;
  if (records->size() < firstSlice) records->resize(static_cast<size_t>(firstSlice));
  if (!pointwise_->begin(stored_.data(), stored_.size(), chunk.points > 1, records->data())) {
    records->clear();
    return fail(index, "urwany (za malo danych na pierwszy punkt)");
  }
  uint64_t done = 1;
  while (done < chunk.points) {
    const uint64_t n = std::min<uint64_t>(chunk.points - done, kSlicePoints);
    if (records->size() < (done + n) * rl) records->resize(static_cast<size_t>((done + n) * rl));
    if (!pointwise_->decode(records->data() + done * rl, n)) {
      records->clear();
      return fail(index, "dane skompresowane sa urwane lub uszkodzone (punkt " +
                             std::to_string(chunk.firstPoint + done + 1) + ")");
    }
    done += n;
  }
  records->resize(static_cast<size_t>(chunk.points * rl));
  *stored = pointwise_->consumed();
  return LasStatus::success();
}

}  // namespace kl::las
