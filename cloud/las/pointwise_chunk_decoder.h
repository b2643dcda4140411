#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/byte_v2.h"
#include "cloud/las/gpstime11_v2.h"
#include "cloud/las/laszip_vlr.h"
#include "cloud/las/point10_v2.h"
#include "cloud/las/rgb12_v2.h"
#include "cloud/las/wavepacket13_v1.h"

namespace kl::las {

// Where the items of a point-wise record start (0 = item absent; the core is always at 0).
struct PointwiseLayout {
  explicit PointwiseLayout(const std::vector<LaszipItem>& items);
  size_t gpsAt = 0, rgbAt = 0, waveAt = 0, extraAt = 0;
  uint32_t extraBytes = 0;
};

// Decodes the chunks of point formats 0-5: a raw first record, then one arithmetic
// stream for all items. Decoding may proceed in slices so that a chunk never has to
// be held decoded as a whole. The item list must have passed checkLaszipInfo.
class PointwiseChunkDecoder {
 public:
  PointwiseChunkDecoder(const std::vector<LaszipItem>& items, uint16_t recordLength);

  // data/size: the chunk as stored. Writes the raw first record to firstOut.
  // hasMore: whether further points of this chunk follow (then the stream must exist).
  bool begin(const uint8_t* data, size_t size, bool hasMore, uint8_t* firstOut);
  // Decodes count further records; false if the stream is corrupt or ends early.
  bool decode(uint8_t* out, uint64_t count);
  // Bytes of the chunk taken so far (raw record plus coded stream).
  size_t consumed() const { return recordLength_ + (streamStarted_ ? dec_.consumed() : 0); }

 private:
  // kAnyItems: any combination of items, tested per point
  template <bool kGps, bool kRgb, bool kAnyItems>
  bool decodeLoop(uint8_t* out, uint64_t count);
  using Loop = bool (PointwiseChunkDecoder::*)(uint8_t*, uint64_t);

  uint16_t recordLength_;
  PointwiseLayout at_;
  ArithmeticDecoder dec_;
  bool streamStarted_ = false;
  Point10V2Codec point_;
  std::optional<GpsTime11V2Codec> gps_;
  std::optional<Rgb12V2Codec> rgb_;
  std::optional<WavePacket13V1Decoder> wave_;
  std::optional<ByteV2Codec> extra_;
  Loop loop_ = nullptr;
};

// Encodes count records of formats 0-3 (plus extra bytes) into one chunk, appended to *out.
class PointwiseChunkEncoder {
 public:
  PointwiseChunkEncoder(const std::vector<LaszipItem>& items, uint16_t recordLength);
  void encode(const uint8_t* records, uint64_t count, std::vector<uint8_t>* out);

 private:
  uint16_t recordLength_;
  PointwiseLayout at_;
  Point10V2Codec point_;
  std::optional<GpsTime11V2Codec> gps_;
  std::optional<Rgb12V2Codec> rgb_;
  std::optional<ByteV2Codec> extra_;
};

}  // namespace kl::las
