#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/arithmetic_model.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/layered_bytes.h"
#include "cloud/las/layered_context.h"

namespace kl::las::layered {

inline constexpr uint32_t kWavePacketSize = 29;

// Wave packet descriptor of a record, unpacked (the floats are kept as bit patterns).
struct WavePacket {
  uint8_t descriptorIndex = 0;
  uint64_t offset = 0;
  uint32_t packetSize = 0;
  uint32_t returnPoint = 0, x = 0, y = 0, z = 0;

  static WavePacket unpack(const uint8_t* p);
  void pack(uint8_t* p) const;
  bool operator==(const WavePacket&) const = default;
};

struct WavePacket14Context {
  explicit WavePacket14Context(const WavePacket& seed);

  WavePacket last;
  int32_t lastOffsetDiff = 0;
  uint32_t lastOffsetSymbol = 0;
  ArithmeticModel packetIndex;
  ArithmeticModel offsetSymbol[4];
  IntegerCompressor offsetDiff, packetSize, returnPoint, xyz;
};

class WavePacket14V3Decoder {
 public:
  explicit WavePacket14V3Decoder(uint16_t version) : contexts_(isContextFixVersion(version)) {}

  uint32_t layerCount() const { return 1; }
  bool start(const uint8_t* firstItem, const LayerBytes* layers, uint32_t context);
  void decode(uint8_t* out, uint32_t context);
  bool overrun() const { return present_ && dec_.overrun(); }

 private:
  FollowedContexts<WavePacket14Context> contexts_;
  bool present_ = false;
  ArithmeticDecoder dec_;
};

class WavePacket14V3Encoder {
 public:
  explicit WavePacket14V3Encoder(uint16_t version) : contexts_(isContextFixVersion(version)) {}

  uint32_t layerCount() const { return 1; }
  void start(const uint8_t* firstItem, uint32_t context);
  void encode(const uint8_t* item, uint32_t context);
  void finish();
  const std::vector<uint8_t>& layer(uint32_t) const { return bytes_; }

 private:
  FollowedContexts<WavePacket14Context> contexts_;
  bool changed_ = false;
  std::vector<uint8_t> bytes_;
  ArithmeticEncoder enc_;
};

}  // namespace kl::las::layered
