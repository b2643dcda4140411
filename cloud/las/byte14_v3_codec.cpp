#include "cloud/las/byte14_v3_codec.h"

namespace kl::las::layered {

namespace {

std::unique_ptr<Byte14Context> seeded(const uint8_t* seed, uint32_t count) {
  return std::make_unique<Byte14Context>(seed, count);
}

Byte14Context& followChannel(FollowedContexts<Byte14Context>& contexts, uint32_t context, uint32_t count,
                             Byte14Context** last) {
  return contexts.follow(context, last, [count](const Byte14Context* s) { return seeded(s->last.data(), count); });
}

}  // namespace

Byte14Context::Byte14Context(const uint8_t* seed, uint32_t count) : last(seed, seed + count) {
  models.reserve(count);
  for (uint32_t i = 0; i < count; ++i) models.emplace_back(256);
}

bool Byte14V3Decoder::start(const uint8_t* firstItem, const LayerBytes* layers, uint32_t context) {
  decodesAny_ = false;
  for (uint32_t i = 0; i < count_; ++i) {
    present_[i] = layers[i].size != 0;
    decodesAny_ = decodesAny_ || present_[i];
    if (present_[i] && !decoders_[i].init(layers[i].data, layers[i].size)) return false;
  }
  // With no layer to read, decode is never called: its models would be built for nothing.
  if (decodesAny_) contexts_.start(context, seeded(firstItem, count_));
  return true;
}

void Byte14V3Decoder::decode(uint8_t* out, uint32_t context) {
  Byte14Context* last = nullptr;
  Byte14Context& c = followChannel(contexts_, context, count_, &last);
  uint8_t* values = last->last.data();
  for (uint32_t i = 0; i < count_; ++i) {
    if (present_[i]) {
      values[i] = foldByte(values[i] + static_cast<int32_t>(decoders_[i].decodeSymbol(c.models[i])));
    }
    out[i] = values[i];
  }
}

bool Byte14V3Decoder::overrun() const {
  for (uint32_t i = 0; i < count_; ++i) {
    if (present_[i] && decoders_[i].overrun()) return true;
  }
  return false;
}

void Byte14V3Encoder::start(const uint8_t* firstItem, uint32_t context) {
  contexts_.start(context, seeded(firstItem, count_));
  for (uint32_t i = 0; i < count_; ++i) {
    bytes_[i].clear();
    encoders_[i].init(&bytes_[i]);
    changed_[i] = 0;
  }
}

void Byte14V3Encoder::encode(const uint8_t* item, uint32_t context) {
  Byte14Context* last = nullptr;
  Byte14Context& c = followChannel(contexts_, context, count_, &last);
  uint8_t* values = last->last.data();
  for (uint32_t i = 0; i < count_; ++i) {
    const int32_t diff = static_cast<int32_t>(item[i]) - values[i];
    encoders_[i].encodeSymbol(c.models[i], foldByte(diff));
    changed_[i] |= diff != 0 ? 1 : 0;
    values[i] = item[i];
  }
}

void Byte14V3Encoder::finish() {
  for (uint32_t i = 0; i < count_; ++i) {
    encoders_[i].done();
    if (!changed_[i]) bytes_[i].clear();
  }
}

}  // namespace kl::las::layered
