#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/layered_bytes.h"
#include "cloud/las/point14_v3_context.h"

namespace kl::las::layered {

// Decodes the point core of layered chunks, one scanner-channel context per channel.
class Point14V3Decoder {
 public:
  explicit Point14V3Decoder(uint16_t version) : contextFix_(isContextFixVersion(version)) {}

  // firstRecord: the raw first record of the chunk. Sets *context to its scanner channel.
  // False if a non-empty layer is too short to start.
  bool start(const uint8_t* firstRecord, const LayerBytes* layers, uint32_t* context);

  // Writes the next 30-byte core to out. *context must be 0 on entry (the secondary items
  // then see 0 unless this point switched the scanner channel, or always the current
  // channel in version 4).
  void decode(uint8_t* out, uint32_t* context) {
    if (attributes_) {
      decodeAs<true>(out, context);
    } else {
      decodeAs<false>(out, context);
    }
  }

  bool overrun() const;

 private:
  // Without attributes only the position layers are read: the rest of the record keeps
  // the first point's values and costs nothing per point.
  template <bool kAttributes>
  void decodeAs(uint8_t* out, uint32_t* context);
  void decodeAttributes(Point14Context& c, uint32_t n, uint32_t r, uint32_t changed);
  Point14Context& createContext(uint32_t channel, const Point14Record& seed);
  bool present(uint32_t layer) const { return (presentLayers_ >> layer) & 1u; }
  void decodeGpsTime(Point14Context& c);
  void decodeFullGpsTime(Point14Context& c);

  bool contextFix_;
  // Contexts outlive their chunk so that a decoder used for many chunks allocates them
  // once; active_ marks (one bit per channel) those started in the current chunk.
  std::array<std::unique_ptr<Point14Context>, kChannelContexts> contexts_;
  uint32_t active_ = 0;
  uint32_t presentLayers_ = 0;  // one bit per layer the chunk carries
  uint32_t current_ = 0;
  ArithmeticDecoder dec_[kPoint14Layers];
  bool missingXY_ = false;
  bool attributes_ = false;  // any layer past z present
};

}  // namespace kl::las::layered
