#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"

namespace kl::las {
namespace {

// Every codec round trip runs the coder over the models it uses, and corrupt chunks under
// the sanitizers (the reader's damaged files, the fuzzer) keep decoding inside the models;
// here what they do not reach: an empty stream, a short one, integer corrections at the edges.
TEST(ArithmeticCoder, AnEmptyStreamIsFourBytesAndAShortOneIsReported) {
  std::vector<uint8_t> empty;
  ArithmeticEncoder enc;
  enc.init(&empty);
  enc.done();
  EXPECT_EQ(empty.size(), 4u);

  const uint8_t data[3] = {1, 2, 3};
  ArithmeticDecoder dec;
  EXPECT_FALSE(dec.init(data, sizeof data));
  EXPECT_TRUE(dec.overrun());
  ArithmeticModel m(256);
  for (int i = 0; i < 1000; ++i) dec.decodeSymbol(m);  // must neither crash nor read outside
  EXPECT_TRUE(dec.overrun());
}

struct IcCase {
  uint32_t bits, contexts, bitsHigh, range;
};

TEST(IntegerRoundTrip, CorrectionsOfEverySizeSurvive) {
  for (const IcCase& c : {IcCase{32, 2, 8, 0}, IcCase{12, 1, 4, 0}, IcCase{0, 1, 8, 1000}}) {
    SCOPED_TRACE(c.bits);
    std::mt19937 rng(c.bits * 31 + c.contexts);
    std::vector<std::array<int32_t, 3>> values;  // pred, real, context
    const int64_t span = c.range != 0 ? c.range : (c.bits >= 32 ? (1ll << 32) : (1ll << c.bits));
    for (int i = 0; i < 30000; ++i) {
      int32_t pred, real;
      if (c.bits >= 32) {
        pred = static_cast<int32_t>(rng());
        const int shift = static_cast<int>(rng() % 32);
        real = static_cast<int32_t>(static_cast<uint32_t>(pred) + (static_cast<uint32_t>(rng()) >> shift));
        if (i % 97 == 0) real = INT32_MIN;
        if (i % 89 == 0) real = INT32_MAX;
      } else {
        pred = static_cast<int32_t>(rng() % span);
        real = static_cast<int32_t>(i % 3 == 0 ? (pred + static_cast<int32_t>(rng() % 5)) % span : rng() % span);
      }
      values.push_back({pred, real, static_cast<int32_t>(rng() % c.contexts)});
    }
    std::vector<uint8_t> bytes;
    ArithmeticEncoder enc;
    enc.init(&bytes);
    IntegerCompressor ice(c.bits, c.contexts, c.bitsHigh, c.range);
    ice.resetModels();
    std::vector<uint32_t> ks;
    for (const auto& v : values) {
      ice.compress(enc, v[0], v[1], static_cast<uint32_t>(v[2]));
      ks.push_back(ice.getK());
    }
    enc.done();
    ArithmeticDecoder dec;
    ASSERT_TRUE(dec.init(bytes.data(), bytes.size()));
    IntegerCompressor icd(c.bits, c.contexts, c.bitsHigh, c.range);
    icd.resetModels();
    for (size_t i = 0; i < values.size(); ++i) {
      const int32_t got = icd.decompress(dec, values[i][0], static_cast<uint32_t>(values[i][2]));
      ASSERT_EQ(got, values[i][1]) << "value " << i;
      ASSERT_EQ(icd.getK(), ks[i]);
    }
    EXPECT_EQ(dec.consumed(), bytes.size());
  }
}

}  // namespace
}  // namespace kl::las
