#include "cloud/las/wavepacket14_v3_codec.h"

namespace kl::las::layered {

namespace {

std::unique_ptr<WavePacket14Context> seeded(const WavePacket& seed) {
  return std::make_unique<WavePacket14Context>(seed);
}

WavePacket14Context& followChannel(FollowedContexts<WavePacket14Context>& contexts, uint32_t context,
                                   WavePacket14Context** last) {
  return contexts.follow(context, last, [](const WavePacket14Context* s) { return seeded(s->last); });
}

}  // namespace

WavePacket WavePacket::unpack(const uint8_t* p) {
  WavePacket w;
  w.descriptorIndex = p[0];
  w.offset = loadLe<uint64_t>(p + 1);
  w.packetSize = loadLe<uint32_t>(p + 9);
  w.returnPoint = loadLe<uint32_t>(p + 13);
  w.x = loadLe<uint32_t>(p + 17);
  w.y = loadLe<uint32_t>(p + 21);
  w.z = loadLe<uint32_t>(p + 25);
  return w;
}

void WavePacket::pack(uint8_t* p) const {
  p[0] = descriptorIndex;
  storeLe<uint64_t>(p + 1, offset);
  storeLe<uint32_t>(p + 9, packetSize);
  storeLe<uint32_t>(p + 13, returnPoint);
  storeLe<uint32_t>(p + 17, x);
  storeLe<uint32_t>(p + 21, y);
  storeLe<uint32_t>(p + 25, z);
}

WavePacket14Context::WavePacket14Context(const WavePacket& seed)
    : last(seed),
      packetIndex(256),
      offsetSymbol{ArithmeticModel(4), ArithmeticModel(4), ArithmeticModel(4), ArithmeticModel(4)},
      offsetDiff(32),
      packetSize(32),
      returnPoint(32),
      xyz(32, 3) {}

bool WavePacket14V3Decoder::start(const uint8_t* firstItem, const LayerBytes* layers, uint32_t context) {
  present_ = layers[0].size != 0;
  if (present_ && !dec_.init(layers[0].data, layers[0].size)) return false;
  contexts_.start(context, seeded(WavePacket::unpack(firstItem)));
  return true;
}

void WavePacket14V3Decoder::decode(uint8_t* out, uint32_t context) {
  WavePacket14Context* last = nullptr;
  WavePacket14Context& c = followChannel(contexts_, context, &last);
  WavePacket& w = last->last;
  if (present_) {
    const WavePacket previous = w;
    w.descriptorIndex = static_cast<uint8_t>(dec_.decodeSymbol(c.packetIndex));
    c.lastOffsetSymbol = dec_.decodeSymbol(c.offsetSymbol[c.lastOffsetSymbol]);
    switch (c.lastOffsetSymbol) {
      case 0: break;
      case 1: w.offset = previous.offset + previous.packetSize; break;
      case 2:
        c.lastOffsetDiff = c.offsetDiff.decompress(dec_, c.lastOffsetDiff);
        w.offset = previous.offset + static_cast<uint64_t>(static_cast<int64_t>(c.lastOffsetDiff));
        break;
      default: w.offset = dec_.readInt64(); break;
    }
    w.packetSize = static_cast<uint32_t>(c.packetSize.decompress(dec_, static_cast<int32_t>(previous.packetSize)));
    w.returnPoint = static_cast<uint32_t>(c.returnPoint.decompress(dec_, static_cast<int32_t>(previous.returnPoint)));
    w.x = static_cast<uint32_t>(c.xyz.decompress(dec_, static_cast<int32_t>(previous.x), 0));
    w.y = static_cast<uint32_t>(c.xyz.decompress(dec_, static_cast<int32_t>(previous.y), 1));
    w.z = static_cast<uint32_t>(c.xyz.decompress(dec_, static_cast<int32_t>(previous.z), 2));
  }
  w.pack(out);
}

void WavePacket14V3Encoder::start(const uint8_t* firstItem, uint32_t context) {
  contexts_.start(context, seeded(WavePacket::unpack(firstItem)));
  bytes_.clear();
  enc_.init(&bytes_);
  changed_ = false;
}

void WavePacket14V3Encoder::encode(const uint8_t* item, uint32_t context) {
  WavePacket14Context* last = nullptr;
  WavePacket14Context& c = followChannel(contexts_, context, &last);
  const WavePacket w = WavePacket::unpack(item);
  const WavePacket& previous = last->last;
  changed_ |= !(w == previous);
  enc_.encodeSymbol(c.packetIndex, w.descriptorIndex);
  const uint64_t delta = w.offset - previous.offset;
  const auto delta32 = static_cast<int32_t>(static_cast<uint32_t>(delta));
  uint32_t sym = 3;
  if (static_cast<int64_t>(delta) == static_cast<int64_t>(delta32)) {
    if (delta == 0) {
      sym = 0;
    } else if (delta == previous.packetSize) {
      sym = 1;
    } else {
      sym = 2;
    }
  }
  enc_.encodeSymbol(c.offsetSymbol[c.lastOffsetSymbol], sym);
  c.lastOffsetSymbol = sym;
  if (sym == 2) {
    c.offsetDiff.compress(enc_, c.lastOffsetDiff, delta32);
    c.lastOffsetDiff = delta32;
  } else if (sym == 3) {
    enc_.writeInt64(w.offset);
  }
  c.packetSize.compress(enc_, static_cast<int32_t>(previous.packetSize), static_cast<int32_t>(w.packetSize));
  c.returnPoint.compress(enc_, static_cast<int32_t>(previous.returnPoint), static_cast<int32_t>(w.returnPoint));
  c.xyz.compress(enc_, static_cast<int32_t>(previous.x), static_cast<int32_t>(w.x), 0);
  c.xyz.compress(enc_, static_cast<int32_t>(previous.y), static_cast<int32_t>(w.y), 1);
  c.xyz.compress(enc_, static_cast<int32_t>(previous.z), static_cast<int32_t>(w.z), 2);
  last->last = w;
}

void WavePacket14V3Encoder::finish() {
  enc_.done();
  if (!changed_) bytes_.clear();
}

}  // namespace kl::las::layered
