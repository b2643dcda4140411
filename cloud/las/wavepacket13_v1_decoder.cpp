#include <cstring>

#include "cloud/las/las_bytes.h"
#include "cloud/las/wavepacket13_v1.h"

namespace kl::las {

WavePacket13V1Decoder::WavePacket13V1Decoder()
    : packetIndex_(256),
      offsetDiff_{ArithmeticModel(4), ArithmeticModel(4), ArithmeticModel(4), ArithmeticModel(4)},
      icOffsetDiff_(32),
      icPacketSize_(32),
      icReturnPoint_(32),
      icXyz_(32, 3) {}

void WavePacket13V1Decoder::init(const uint8_t* first) {
  packetIndex_.reset();
  for (auto& m : offsetDiff_) m.reset();
  icOffsetDiff_.resetModels();
  icPacketSize_.resetModels();
  icReturnPoint_.resetModels();
  icXyz_.resetModels();
  std::memcpy(last_, first, sizeof last_);
  lastDiff_ = 0;
  symLast_ = 0;
}

void WavePacket13V1Decoder::decode(ArithmeticDecoder& dec, uint8_t* out) {
  out[0] = static_cast<uint8_t>(dec.decodeSymbol(packetIndex_));
  const uint64_t lastOffset = loadLe<uint64_t>(last_ + 1);
  const uint32_t lastSize = loadLe<uint32_t>(last_ + 9);
  symLast_ = dec.decodeSymbol(offsetDiff_[symLast_]);
  uint64_t offset = lastOffset;
  if (symLast_ == 1) {
    offset = lastOffset + lastSize;
  } else if (symLast_ == 2) {
    lastDiff_ = icOffsetDiff_.decompress(dec, lastDiff_);
    offset = lastOffset + static_cast<uint64_t>(static_cast<int64_t>(lastDiff_));
  } else if (symLast_ == 3) {
    offset = dec.readInt64();
  }
  storeLe<uint64_t>(out + 1, offset);
  storeLe<int32_t>(out + 9, icPacketSize_.decompress(dec, static_cast<int32_t>(lastSize)));
  storeLe<int32_t>(out + 13, icReturnPoint_.decompress(dec, loadLe<int32_t>(last_ + 13)));
  for (uint32_t i = 0; i < 3; ++i) {
    storeLe<int32_t>(out + 17 + 4 * i, icXyz_.decompress(dec, loadLe<int32_t>(last_ + 17 + 4 * i), i));
  }
  std::memcpy(last_, out, sizeof last_);
}

}  // namespace kl::las
