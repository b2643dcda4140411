#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/point14_v3_context.h"

namespace kl::las::layered {

// Encodes the point core of layered chunks; the exact mirror of Point14V3Decoder.
class Point14V3Encoder {
 public:
  explicit Point14V3Encoder(uint16_t version) : contextFix_(isContextFixVersion(version)) {}

  void start(const uint8_t* firstRecord, uint32_t* context);
  // *context must be 0 on entry; receives what the secondary items are to follow.
  void encode(const uint8_t* record, uint32_t* context);
  // Completes the nine streams; layer(i) is empty for a layer whose field never changed.
  void finish();
  const std::vector<uint8_t>& layer(uint32_t i) const { return bytes_[i]; }

 private:
  Point14Context& createContext(uint32_t channel, const Point14Record& seed);
  void encodeGpsTime(Point14Context& c, uint64_t time);
  void encodeFullGpsTime(Point14Context& c, uint32_t code, uint64_t time);

  bool contextFix_;
  std::array<std::unique_ptr<Point14Context>, kChannelContexts> contexts_;
  uint32_t current_ = 0;
  ArithmeticEncoder enc_[kPoint14Layers];
  std::vector<uint8_t> bytes_[kPoint14Layers];
  bool changed_[kPoint14Layers] = {};
};

}  // namespace kl::las::layered
