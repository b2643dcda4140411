#include "cloud/las/pointwise_chunk_decoder.h"

#include <cstring>

namespace kl::las {

PointwiseLayout::PointwiseLayout(const std::vector<LaszipItem>& items) {
  size_t at = 0;
  for (const LaszipItem& it : items) {
    switch (static_cast<LaszipItemType>(it.type)) {
      case LaszipItemType::GpsTime11: gpsAt = at; break;
      case LaszipItemType::Rgb12: rgbAt = at; break;
      case LaszipItemType::WavePacket13: waveAt = at; break;
      case LaszipItemType::Byte: extraAt = at; extraBytes = it.size; break;
      default: break;
    }
    at += it.size;
  }
}

PointwiseChunkDecoder::PointwiseChunkDecoder(const std::vector<LaszipItem>& items, uint16_t recordLength)
    : recordLength_(recordLength), at_(items) {
  if (at_.gpsAt != 0) gps_.emplace();
  if (at_.rgbAt != 0) rgb_.emplace();
  if (at_.waveAt != 0) wave_.emplace();
  if (at_.extraBytes != 0) extra_.emplace(at_.extraBytes);
  // Every item decoder is inlined into the loop, so each instantiation is large: the
  // four common layouts get their own, the rare ones with wave packets or extra bytes
  // share one that tests for the optional items per point.
  if (wave_ || extra_) {
    loop_ = &PointwiseChunkDecoder::decodeLoop<false, false, true>;
  } else {
    static constexpr Loop kLoops[4] = {
        &PointwiseChunkDecoder::decodeLoop<false, false, false>,
        &PointwiseChunkDecoder::decodeLoop<false, true, false>,
        &PointwiseChunkDecoder::decodeLoop<true, false, false>,
        &PointwiseChunkDecoder::decodeLoop<true, true, false>,
    };
    loop_ = kLoops[(gps_ ? 2u : 0u) | (rgb_ ? 1u : 0u)];
  }
}

bool PointwiseChunkDecoder::begin(const uint8_t* data, size_t size, bool hasMore, uint8_t* firstOut) {
  streamStarted_ = false;
  if (size < recordLength_) return false;
  std::memcpy(firstOut, data, recordLength_);
  point_.init(data);
  if (gps_) gps_->init(data + at_.gpsAt);
  if (rgb_) rgb_->init(data + at_.rgbAt);
  if (wave_) wave_->init(data + at_.waveAt);
  if (extra_) extra_->init(data + at_.extraAt);
  const bool started = dec_.init(data + recordLength_, size - recordLength_);
  streamStarted_ = started;
  return started || !hasMore;
}

bool PointwiseChunkDecoder::decode(uint8_t* out, uint64_t count) {
  if (!streamStarted_) return count == 0;
  return (this->*loop_)(out, count);
}

template <bool kGps, bool kRgb, bool kAnyItems>
bool PointwiseChunkDecoder::decodeLoop(uint8_t* out, uint64_t count) {
  const size_t rl = recordLength_;
  // A local copy of the coder, whose address never leaves this function while the
  // items decode inline: its state then stays in registers from one point to the next,
  // instead of going through memory that the output stores might alias.
  ArithmeticDecoder dec = dec_;
  for (uint64_t i = 0; i < count; ++i, out += rl) {
    point_.decode(dec, out);
    if (kGps || (kAnyItems && gps_)) {
      if (!gps_->decode(dec, out + at_.gpsAt)) {
        dec_ = dec;
        return false;
      }
    }
    if (kRgb || (kAnyItems && rgb_)) rgb_->decode(dec, out + at_.rgbAt);
    if constexpr (kAnyItems) {
      // these two are not inlined; they work on the member so that the local stays private
      dec_ = dec;
      if (wave_) wave_->decode(dec_, out + at_.waveAt);
      if (extra_) extra_->decode(dec_, out + at_.extraAt);
      dec = dec_;
    }
  }
  dec_ = dec;
  return !dec_.overrun();
}

PointwiseChunkEncoder::PointwiseChunkEncoder(const std::vector<LaszipItem>& items, uint16_t recordLength)
    : recordLength_(recordLength), at_(items) {
  if (at_.gpsAt != 0) gps_.emplace();
  if (at_.rgbAt != 0) rgb_.emplace();
  if (at_.extraBytes != 0) extra_.emplace(at_.extraBytes);
}

void PointwiseChunkEncoder::encode(const uint8_t* records, uint64_t count, std::vector<uint8_t>* out) {
  if (count == 0) return;
  out->insert(out->end(), records, records + recordLength_);
  point_.init(records);
  if (gps_) gps_->init(records + at_.gpsAt);
  if (rgb_) rgb_->init(records + at_.rgbAt);
  if (extra_) extra_->init(records + at_.extraAt);
  ArithmeticEncoder enc;
  enc.init(out);
  const uint8_t* p = records + recordLength_;
  for (uint64_t i = 1; i < count; ++i, p += recordLength_) {
    point_.encode(enc, p);
    if (gps_) gps_->encode(enc, p + at_.gpsAt);
    if (rgb_) rgb_->encode(enc, p + at_.rgbAt);
    if (extra_) extra_->encode(enc, p + at_.extraAt);
  }
  enc.done();
}

}  // namespace kl::las
