#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/arithmetic_model.h"
#include "cloud/las/layered_bytes.h"
#include "cloud/las/layered_context.h"

namespace kl::las::layered {

// Extra bytes of a layered chunk: one layer per byte, each coded as a difference to the last value.
struct Byte14Context {
  explicit Byte14Context(const uint8_t* seed, uint32_t count);

  std::vector<uint8_t> last;
  std::vector<ArithmeticModel> models;
};

class Byte14V3Decoder {
 public:
  Byte14V3Decoder(uint16_t version, uint32_t count)
      : contexts_(isContextFixVersion(version)), count_(count), decoders_(count), present_(count, 0) {}

  uint32_t layerCount() const { return count_; }
  bool start(const uint8_t* firstItem, const LayerBytes* layers, uint32_t context);
  // False when no layer is read: every point then holds the first point's bytes, and
  // decode must not be called.
  bool decodesAny() const { return decodesAny_; }
  void decode(uint8_t* out, uint32_t context);
  bool overrun() const;

 private:
  FollowedContexts<Byte14Context> contexts_;
  uint32_t count_;
  bool decodesAny_ = false;
  std::vector<ArithmeticDecoder> decoders_;
  std::vector<uint8_t> present_;
};

class Byte14V3Encoder {
 public:
  Byte14V3Encoder(uint16_t version, uint32_t count)
      : contexts_(isContextFixVersion(version)), count_(count), encoders_(count), bytes_(count), changed_(count, 0) {}

  uint32_t layerCount() const { return count_; }
  void start(const uint8_t* firstItem, uint32_t context);
  void encode(const uint8_t* item, uint32_t context);
  void finish();
  const std::vector<uint8_t>& layer(uint32_t i) const { return bytes_[i]; }

 private:
  FollowedContexts<Byte14Context> contexts_;
  uint32_t count_;
  std::vector<ArithmeticEncoder> encoders_;
  std::vector<std::vector<uint8_t>> bytes_;
  std::vector<uint8_t> changed_;
};

}  // namespace kl::las::layered
