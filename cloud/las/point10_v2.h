#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/streaming_median5.h"

namespace kl::las {

// The 20-byte core of point formats 0-5, coded against the previous point of the chunk.
class Point10V2Codec {
 public:
  Point10V2Codec();

  // Resets every model and takes the raw first point of a chunk as the prediction.
  void init(const uint8_t* firstPoint);
  void decode(ArithmeticDecoder& dec, uint8_t* out);
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

}  // namespace kl::las
