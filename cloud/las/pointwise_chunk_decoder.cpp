#include "cloud/las/pointwise_chunk_decoder.h"

#include <cstring>

namespace kl::las {

PointwiseChunkDecoder::PointwiseChunkDecoder(const std::vector<LaszipItem>& items, uint16_t recordLength)
    : recordLength_(recordLength) {
  size_t at = 0;
  for (const LaszipItem& it : items) {
    switch (static_cast<LaszipItemType>(it.type)) {
      case LaszipItemType::GpsTime11: gps_.emplace(); gpsAt_ = at; break;
      case LaszipItemType::Rgb12: rgb_.emplace(); rgbAt_ = at; break;
      case LaszipItemType::WavePacket13: wave_.emplace(); waveAt_ = at; break;
      case LaszipItemType::Byte: extra_.emplace(it.size); extraBytes_ = it.size; extraAt_ = at; break;
      default: break;
    }
    at += it.size;
  }
  const unsigned key = (gps_ ? 8u : 0u) | (rgb_ ? 4u : 0u) | (wave_ ? 2u : 0u) | (extra_ ? 1u : 0u);
  static constexpr Loop kLoops[16] = {
      &PointwiseChunkDecoder::decodeLoop<false, false, false, false>,
      &PointwiseChunkDecoder::decodeLoop<false, false, false, true>,
      &PointwiseChunkDecoder::decodeLoop<false, false, true, false>,
      &PointwiseChunkDecoder::decodeLoop<false, false, true, true>,
      &PointwiseChunkDecoder::decodeLoop<false, true, false, false>,
      &PointwiseChunkDecoder::decodeLoop<false, true, false, true>,
      &PointwiseChunkDecoder::decodeLoop<false, true, true, false>,
      &PointwiseChunkDecoder::decodeLoop<false, true, true, true>,
      &PointwiseChunkDecoder::decodeLoop<true, false, false, false>,
      &PointwiseChunkDecoder::decodeLoop<true, false, false, true>,
      &PointwiseChunkDecoder::decodeLoop<true, false, true, false>,
      &PointwiseChunkDecoder::decodeLoop<true, false, true, true>,
      &PointwiseChunkDecoder::decodeLoop<true, true, false, false>,
      &PointwiseChunkDecoder::decodeLoop<true, true, false, true>,
      &PointwiseChunkDecoder::decodeLoop<true, true, true, false>,
      &PointwiseChunkDecoder::decodeLoop<true, true, true, true>,
  };
  loop_ = kLoops[key];
}

bool PointwiseChunkDecoder::begin(const uint8_t* data, size_t size, bool hasMore, uint8_t* firstOut) {
  streamStarted_ = false;
  if (size < recordLength_) return false;
  std::memcpy(firstOut, data, recordLength_);
  point_.init(data);
  if (gps_) gps_->init(data + gpsAt_);
  if (rgb_) rgb_->init(data + rgbAt_);
  if (wave_) wave_->init(data + waveAt_);
  if (extra_) extra_->init(data + extraAt_);
  const bool started = dec_.init(data + recordLength_, size - recordLength_);
  streamStarted_ = started;
  return started || !hasMore;
}

bool PointwiseChunkDecoder::decode(uint8_t* out, uint64_t count) {
  if (!streamStarted_) return count == 0;
  return (this->*loop_)(out, count);
}

template <bool kGps, bool kRgb, bool kWave, bool kExtra>
bool PointwiseChunkDecoder::decodeLoop(uint8_t* out, uint64_t count) {
  const size_t rl = recordLength_;
  for (uint64_t i = 0; i < count; ++i, out += rl) {
    point_.decode(dec_, out);
    if constexpr (kGps) {
      if (!gps_->decode(dec_, out + gpsAt_)) return false;
    }
    if constexpr (kRgb) rgb_->decode(dec_, out + rgbAt_);
    if constexpr (kWave) wave_->decode(dec_, out + waveAt_);
    if constexpr (kExtra) extra_->decode(dec_, out + extraAt_);
  }
  return !dec_.overrun();
}

PointwiseChunkEncoder::PointwiseChunkEncoder(const std::vector<LaszipItem>& items, uint16_t recordLength)
    : recordLength_(recordLength) {
  size_t at = 0;
  for (const LaszipItem& it : items) {
    switch (static_cast<LaszipItemType>(it.type)) {
      case LaszipItemType::GpsTime11: gps_.emplace(); gpsAt_ = at; break;
      case LaszipItemType::Rgb12: rgb_.emplace(); rgbAt_ = at; break;
      case LaszipItemType::Byte: extra_.emplace(it.size); extraAt_ = at; break;
      default: break;
    }
    at += it.size;
  }
}

void PointwiseChunkEncoder::encode(const uint8_t* records, uint64_t count, std::vector<uint8_t>* out) {
  if (count == 0) return;
  out->insert(out->end(), records, records + recordLength_);
  point_.init(records);
  if (gps_) gps_->init(records + gpsAt_);
  if (rgb_) rgb_->init(records + rgbAt_);
  if (extra_) extra_->init(records + extraAt_);
  ArithmeticEncoder enc;
  enc.init(out);
  const uint8_t* p = records + recordLength_;
  for (uint64_t i = 1; i < count; ++i, p += recordLength_) {
    point_.encode(enc, p);
    if (gps_) gps_->encode(enc, p + gpsAt_);
    if (rgb_) rgb_->encode(enc, p + rgbAt_);
    if (extra_) extra_->encode(enc, p + extraAt_);
  }
  enc.done();
}

}  // namespace kl::las
