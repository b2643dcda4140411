#pragma once

#include <cstdint>
#include <memory>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/arithmetic_model.h"
#include "cloud/las/layered_bytes.h"
#include "cloud/las/layered_context.h"

namespace kl::las::layered {

// Colour (6 bytes, one layer) and optionally near infrared (2 more bytes, a second layer)
// of a layered chunk.
struct Rgb14Context {
  Rgb14Context();
  void start(const uint16_t* seed);

  uint16_t last[4];
  ArithmeticModel bytesUsed;
  ArithmeticModel diff[6];
  ArithmeticModel nirBytesUsed;
  ArithmeticModel nirDiff[2];
};

class Rgb14V3Decoder {
 public:
  Rgb14V3Decoder(uint16_t version, bool withNir) : contexts_(isContextFixVersion(version)), withNir_(withNir) {}

  uint32_t layerCount() const { return withNir_ ? 2 : 1; }
  bool start(const uint8_t* firstItem, const LayerBytes* layers, uint32_t context);
  void decode(uint8_t* out, uint32_t context);
  bool overrun() const;

 private:
  FollowedContexts<Rgb14Context> contexts_;
  bool withNir_;
  bool rgbPresent_ = false, nirPresent_ = false;
  ArithmeticDecoder rgb_, nir_;
};

class Rgb14V3Encoder {
 public:
  Rgb14V3Encoder(uint16_t version, bool withNir) : contexts_(isContextFixVersion(version)), withNir_(withNir) {}

  uint32_t layerCount() const { return withNir_ ? 2 : 1; }
  void start(const uint8_t* firstItem, uint32_t context);
  void encode(const uint8_t* item, uint32_t context);
  // Completes the streams; layer(i) is empty for a layer that never changed.
  void finish();
  const std::vector<uint8_t>& layer(uint32_t i) const { return i == 0 ? rgbBytes_ : nirBytes_; }

 private:
  FollowedContexts<Rgb14Context> contexts_;
  bool withNir_;
  bool rgbChanged_ = false, nirChanged_ = false;
  std::vector<uint8_t> rgbBytes_, nirBytes_;
  ArithmeticEncoder rgb_, nir_;
};

}  // namespace kl::las::layered
