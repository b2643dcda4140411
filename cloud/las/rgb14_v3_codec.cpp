#include "cloud/las/rgb14_v3_codec.h"

namespace kl::las::layered {

namespace {

void loadWords(const uint8_t* p, uint32_t count, uint16_t* out) {
  for (uint32_t i = 0; i < count; ++i) out[i] = loadLe<uint16_t>(p + 2 * i);
}
void storeWords(const uint16_t* v, uint32_t count, uint8_t* p) {
  for (uint32_t i = 0; i < count; ++i) storeLe<uint16_t>(p + 2 * i, v[i]);
}

int32_t lowByte(uint16_t v) { return v & 0xFF; }
int32_t highByte(uint16_t v) { return v >> 8; }
uint16_t word(int32_t low, int32_t high) { return static_cast<uint16_t>((high << 8) | low); }

void decodeRgb(ArithmeticDecoder& dec, Rgb14Context& m, const uint16_t* last, uint16_t* out) {
  const uint32_t sym = dec.decodeSymbol(m.bytesUsed);
  auto next = [&](uint32_t bit, int32_t predicted, int32_t previous) -> int32_t {
    return (sym & (1u << bit)) ? foldByte(static_cast<int32_t>(dec.decodeSymbol(m.diff[bit])) + predicted)
                               : previous;
  };
  const int32_t rl = next(0, lowByte(last[0]), lowByte(last[0]));
  const int32_t rh = next(1, highByte(last[0]), highByte(last[0]));
  out[0] = word(rl, rh);
  if (!(sym & (1u << 6))) {
    out[1] = out[2] = out[0];
    return;
  }
  int32_t d = rl - lowByte(last[0]);
  const int32_t gl = next(2, clampByte(d + lowByte(last[1])), lowByte(last[1]));
  const int32_t bl = next(4, clampByte((d + gl - lowByte(last[1])) / 2 + lowByte(last[2])), lowByte(last[2]));
  d = rh - highByte(last[0]);
  const int32_t gh = next(3, clampByte(d + highByte(last[1])), highByte(last[1]));
  const int32_t bh = next(5, clampByte((d + gh - highByte(last[1])) / 2 + highByte(last[2])), highByte(last[2]));
  out[1] = word(gl, gh);
  out[2] = word(bl, bh);
}

// True if anything differs from last.
bool encodeRgb(ArithmeticEncoder& enc, Rgb14Context& m, const uint16_t* last, const uint16_t* v) {
  uint32_t sym = 0;
  sym |= (lowByte(v[0]) != lowByte(last[0])) ? 1u : 0u;
  sym |= (highByte(v[0]) != highByte(last[0])) ? 2u : 0u;
  sym |= (lowByte(v[1]) != lowByte(last[1])) ? 4u : 0u;
  sym |= (highByte(v[1]) != highByte(last[1])) ? 8u : 0u;
  sym |= (lowByte(v[2]) != lowByte(last[2])) ? 16u : 0u;
  sym |= (highByte(v[2]) != highByte(last[2])) ? 32u : 0u;
  const bool changed = sym != 0;
  if (v[0] != v[1] || v[0] != v[2]) sym |= 64u;
  enc.encodeSymbol(m.bytesUsed, sym);
  auto put = [&](uint32_t bit, int32_t actual, int32_t predicted) {
    if (sym & (1u << bit)) enc.encodeSymbol(m.diff[bit], foldByte(actual - predicted));
  };
  const int32_t dl = lowByte(v[0]) - lowByte(last[0]);
  const int32_t dh = highByte(v[0]) - highByte(last[0]);
  put(0, lowByte(v[0]), lowByte(last[0]));
  put(1, highByte(v[0]), highByte(last[0]));
  if (sym & (1u << 6)) {
    put(2, lowByte(v[1]), clampByte(dl + lowByte(last[1])));
    put(4, lowByte(v[2]), clampByte((dl + lowByte(v[1]) - lowByte(last[1])) / 2 + lowByte(last[2])));
    put(3, highByte(v[1]), clampByte(dh + highByte(last[1])));
    put(5, highByte(v[2]), clampByte((dh + highByte(v[1]) - highByte(last[1])) / 2 + highByte(last[2])));
  }
  return changed;
}

uint16_t decodeNir(ArithmeticDecoder& dec, Rgb14Context& m, uint16_t last) {
  const uint32_t sym = dec.decodeSymbol(m.nirBytesUsed);
  int32_t low = lowByte(last), high = highByte(last);
  if (sym & 1u) low = foldByte(static_cast<int32_t>(dec.decodeSymbol(m.nirDiff[0])) + low);
  if (sym & 2u) high = foldByte(static_cast<int32_t>(dec.decodeSymbol(m.nirDiff[1])) + high);
  return word(low, high);
}

bool encodeNir(ArithmeticEncoder& enc, Rgb14Context& m, uint16_t last, uint16_t v) {
  const uint32_t sym = (lowByte(v) != lowByte(last) ? 1u : 0u) | (highByte(v) != highByte(last) ? 2u : 0u);
  enc.encodeSymbol(m.nirBytesUsed, sym);
  if (sym & 1u) enc.encodeSymbol(m.nirDiff[0], foldByte(lowByte(v) - lowByte(last)));
  if (sym & 2u) enc.encodeSymbol(m.nirDiff[1], foldByte(highByte(v) - highByte(last)));
  return sym != 0;
}

std::unique_ptr<Rgb14Context> seeded(const uint16_t* seed) {
  auto c = std::make_unique<Rgb14Context>();
  c->start(seed);
  return c;
}

Rgb14Context& followChannel(FollowedContexts<Rgb14Context>& contexts, uint32_t context, Rgb14Context** last) {
  return contexts.follow(context, last, [](const Rgb14Context* s) { return seeded(s->last); });
}

}  // namespace

Rgb14Context::Rgb14Context()
    : bytesUsed(128),
      diff{ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256),
           ArithmeticModel(256), ArithmeticModel(256)},
      nirBytesUsed(4),
      nirDiff{ArithmeticModel(256), ArithmeticModel(256)} {}

void Rgb14Context::start(const uint16_t* seed) {
  for (int i = 0; i < 4; ++i) last[i] = seed[i];
}

bool Rgb14V3Decoder::start(const uint8_t* firstItem, const LayerBytes* layers, uint32_t context) {
  rgbPresent_ = layers[0].size != 0;
  nirPresent_ = withNir_ && layers[1].size != 0;
  if (rgbPresent_ && !rgb_.init(layers[0].data, layers[0].size)) return false;
  if (nirPresent_ && !nir_.init(layers[1].data, layers[1].size)) return false;
  uint16_t seed[4] = {0, 0, 0, 0};
  loadWords(firstItem, withNir_ ? 4 : 3, seed);
  contexts_.start(context, seeded(seed));
  return true;
}

void Rgb14V3Decoder::decode(uint8_t* out, uint32_t context) {
  Rgb14Context* last = nullptr;
  Rgb14Context& models = followChannel(contexts_, context, &last);
  if (rgbPresent_) {
    uint16_t rgb[3];
    decodeRgb(rgb_, models, last->last, rgb);
    for (int i = 0; i < 3; ++i) last->last[i] = rgb[i];
  }
  if (nirPresent_) last->last[3] = decodeNir(nir_, models, last->last[3]);
  storeWords(last->last, withNir_ ? 4 : 3, out);
}

bool Rgb14V3Decoder::overrun() const { return (rgbPresent_ && rgb_.overrun()) || (nirPresent_ && nir_.overrun()); }

void Rgb14V3Encoder::start(const uint8_t* firstItem, uint32_t context) {
  uint16_t seed[4] = {0, 0, 0, 0};
  loadWords(firstItem, withNir_ ? 4 : 3, seed);
  contexts_.start(context, seeded(seed));
  rgbBytes_.clear();
  nirBytes_.clear();
  rgb_.init(&rgbBytes_);
  if (withNir_) nir_.init(&nirBytes_);
  rgbChanged_ = nirChanged_ = false;
}

void Rgb14V3Encoder::encode(const uint8_t* item, uint32_t context) {
  Rgb14Context* last = nullptr;
  Rgb14Context& models = followChannel(contexts_, context, &last);
  uint16_t v[4] = {0, 0, 0, 0};
  loadWords(item, withNir_ ? 4 : 3, v);
  rgbChanged_ |= encodeRgb(rgb_, models, last->last, v);
  if (withNir_) nirChanged_ |= encodeNir(nir_, models, last->last[3], v[3]);
  for (int i = 0; i < 4; ++i) last->last[i] = v[i];
}

void Rgb14V3Encoder::finish() {
  rgb_.done();
  if (!rgbChanged_) rgbBytes_.clear();
  if (withNir_) {
    nir_.done();
    if (!nirChanged_) nirBytes_.clear();
  }
}

}  // namespace kl::las::layered
