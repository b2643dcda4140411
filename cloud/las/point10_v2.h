#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_inline.h"
#include "cloud/las/point10_v2_tables.h"
#include "cloud/las/streaming_median5.h"

namespace kl::las {

// The 20-byte core of point formats 0-5, coded against the previous point of the chunk.
class Point10V2Codec {
 public:
  Point10V2Codec();

  // Resets every model and takes the raw first point of a chunk as the prediction.
  void init(const uint8_t* firstPoint);
  // Inline, so that a caller decoding several items per point keeps the coder's state
  // in registers across all of them (it passes a local copy of its decoder).
  KL_LAS_INLINE void decode(ArithmeticDecoder& dec, uint8_t* out);
  void encode(ArithmeticEncoder& enc, const uint8_t* point);

 private:
  struct Last {
    int32_t x, y, z;
    uint16_t intensity;
    uint8_t returns;         // return number, number of returns, scan direction, edge
    uint8_t classification;  // with the synthetic/key-point/withheld flags
    uint8_t scanAngle;
    uint8_t userData;
    uint16_t pointSource;
  };
  // Models keyed by the previous byte are made on first use; a generation stamp tells
  // whether one was already reset in the current chunk.
  struct LazyModels {
    std::array<std::unique_ptr<ArithmeticModel>, 256> models;
    std::array<uint32_t, 256> generation{};
    ArithmeticModel& get(uint8_t key, uint32_t current) {
      auto& m = models[key];
      if (!m) {
        m = std::make_unique<ArithmeticModel>(256);
      } else if (generation[key] != current) {
        m->reset();
      }
      generation[key] = current;
      return *m;
    }
  };

  Last last_{};
  uint32_t generation_ = 0;
  std::array<uint16_t, 16> lastIntensity_{};
  std::array<int32_t, 8> lastHeight_{};
  std::array<StreamingMedian5, 16> xMedian_{};
  std::array<StreamingMedian5, 16> yMedian_{};
  ArithmeticModel changedValues_;
  std::array<ArithmeticModel, 2> scanAngle_;
  IntegerCompressor icIntensity_;
  IntegerCompressor icPointSource_;
  IntegerCompressor icDx_;
  IntegerCompressor icDy_;
  IntegerCompressor icZ_;
  LazyModels bitByte_;
  LazyModels classification_;
  LazyModels userData_;
};

inline uint32_t point10YContext(uint32_t n, uint32_t kx) { return (n == 1 ? 1u : 0u) + (kx < 20 ? (kx & ~1u) : 20u); }
inline uint32_t point10ZContext(uint32_t n, uint32_t kb) { return (n == 1 ? 1u : 0u) + (kb < 18 ? (kb & ~1u) : 18u); }

KL_LAS_INLINE void Point10V2Codec::decode(ArithmeticDecoder& dec, uint8_t* out) {
  Last& l = last_;
  const uint32_t changed = dec.decodeSymbol(changedValues_);
  uint32_t r, n, m, lvl;
  if (changed != 0) {
    if (changed & 32) l.returns = static_cast<uint8_t>(dec.decodeSymbol(bitByte_.get(l.returns, generation_)));
    r = l.returns & 7u;
    n = (l.returns >> 3) & 7u;
    m = kNumberReturnMap[n][r];
    lvl = numberReturnLevel(n, r);
    if (changed & 16) {
      lastIntensity_[m] = static_cast<uint16_t>(icIntensity_.decompress(dec, lastIntensity_[m], m < 3 ? m : 3));
    }
    l.intensity = lastIntensity_[m];
    if (changed & 8) {
      l.classification = static_cast<uint8_t>(dec.decodeSymbol(classification_.get(l.classification, generation_)));
    }
    if (changed & 4) {
      l.scanAngle = static_cast<uint8_t>(l.scanAngle + dec.decodeSymbol(scanAngle_[(l.returns >> 6) & 1u]));
    }
    if (changed & 2) l.userData = static_cast<uint8_t>(dec.decodeSymbol(userData_.get(l.userData, generation_)));
    if (changed & 1) l.pointSource = static_cast<uint16_t>(icPointSource_.decompress(dec, l.pointSource));
  } else {
    r = l.returns & 7u;
    n = (l.returns >> 3) & 7u;
    m = kNumberReturnMap[n][r];
    lvl = numberReturnLevel(n, r);
  }

  int32_t diff = icDx_.decompress(dec, xMedian_[m].get(), n == 1 ? 1u : 0u);
  l.x = static_cast<int32_t>(static_cast<uint32_t>(l.x) + static_cast<uint32_t>(diff));
  xMedian_[m].add(diff);
  const uint32_t kx = icDx_.getK();
  diff = icDy_.decompress(dec, yMedian_[m].get(), point10YContext(n, kx));
  l.y = static_cast<int32_t>(static_cast<uint32_t>(l.y) + static_cast<uint32_t>(diff));
  yMedian_[m].add(diff);
  const uint32_t kb = (kx + icDy_.getK()) / 2;
  l.z = icZ_.decompress(dec, lastHeight_[lvl], point10ZContext(n, kb));
  lastHeight_[lvl] = l.z;

  storeLe<int32_t>(out, l.x);
  storeLe<int32_t>(out + 4, l.y);
  storeLe<int32_t>(out + 8, l.z);
  storeLe<uint16_t>(out + 12, l.intensity);
  out[14] = l.returns;
  out[15] = l.classification;
  out[16] = l.scanAngle;
  out[17] = l.userData;
  storeLe<uint16_t>(out + 18, l.pointSource);
}

}  // namespace kl::las
