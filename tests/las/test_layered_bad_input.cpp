#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "tests/las/test_layered_support.h"

namespace kl::las::testing {
namespace {

// A decoded format 8 sample with extra bytes (14 layers) gives a realistic chunk to damage.
class DamagedChunk : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> file = readFile(sample("laspy__append-bug.laz"));
    LayeredLaz laz;
    std::string error;
    ASSERT_TRUE(parseLayeredLaz(file, &laz, &error)) << error;
    ASSERT_EQ(laz.chunks.size(), 1u);
    items_ = laz.info.items;
    points_ = laz.chunks[0].points;
    chunk_.assign(file.begin() + static_cast<std::ptrdiff_t>(laz.chunks[0].offset),
                  file.begin() + static_cast<std::ptrdiff_t>(laz.chunks[0].offset + laz.chunks[0].bytes));
    out_.assign(points_ * kRecord, 0);
    ASSERT_TRUE(decode(chunk_, &error)) << error;
    good_ = out_;
  }

  bool decode(const std::vector<uint8_t>& chunk, std::string* error) {
    // An exactly sized heap copy lets the address sanitizer see any read past the chunk.
    std::vector<uint8_t> exact(chunk);
    return decodeLayeredChunk(exact.data(), exact.size(), items_, kRecord, points_, out_.data(), error);
  }

  static constexpr uint32_t kRecord = 41;
  static constexpr size_t kSizesAt = kRecord + 4;
  std::vector<LaszipItem> items_;
  uint64_t points_ = 0;
  std::vector<uint8_t> chunk_, out_, good_;
};

TEST_F(DamagedChunk, IsAnErrorWithAMessage) {
  struct Damage {
    std::string what;
    std::vector<uint8_t> bytes;
    std::string cause;  // empty: any message
  };
  std::vector<Damage> damages;
  for (size_t keep : {size_t{0}, size_t{10}, size_t{kRecord}, size_t{kSizesAt + 3}, size_t{kSizesAt + 20},
                      size_t{kSizesAt + 56}, chunk_.size() / 2, chunk_.size() - 1})
    damages.push_back({"kept " + std::to_string(keep), {chunk_.begin(), chunk_.begin() + static_cast<std::ptrdiff_t>(keep)}, ""});
  const auto changed = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> bad = chunk_;
    storeLe<uint32_t>(&bad[at], value);
    return bad;
  };
  const auto layerSize = [&](uint32_t layer) { return loadLe<uint32_t>(&chunk_[kSizesAt + 4 * layer]); };
  for (uint32_t layer : {0u, 4u, 8u, 13u})
    damages.push_back({"layer past the chunk " + std::to_string(layer), changed(kSizesAt + 4 * layer, layerSize(layer) + 100000), "warstw"});
  damages.push_back({"huge layer", changed(kSizesAt, 0xFFFFFFFFu), ""});
  damages.push_back({"point count", changed(kRecord, static_cast<uint32_t>(points_ + 1)), std::to_string(points_ + 1)});
  // Moving bytes from the X/Y layer to the Z layer keeps the total but starves X/Y;
  // moving all of them leaves the points after the first without their layer, which
  // once divided by the zero range of a decoder that was never started.
  for (uint32_t moved : {2000u, layerSize(0)}) {
    std::vector<uint8_t> bad = changed(kSizesAt, layerSize(0) - moved);
    storeLe<uint32_t>(&bad[kSizesAt + 4], layerSize(1) + moved);
    damages.push_back({"moved " + std::to_string(moved), bad, ""});
  }
  for (const Damage& d : damages) {
    std::string error;
    EXPECT_FALSE(decode(d.bytes, &error)) << d.what;
    EXPECT_NE(error.find(d.cause), std::string::npos) << d.what << ": " << error;
    EXPECT_FALSE(error.empty()) << d.what;
  }
}

TEST_F(DamagedChunk, ItemListThatDoesNotFitIsRejected) {
  const std::vector<std::vector<LaszipItem>> wrong = {
      {},
      {{12, 8, 3}, {10, 30, 3}, {14, 3, 3}},             // point not first
      {{10, 30, 3}, {12, 8, 3}, {14, 4, 3}},             // sizes add up to 42
      {{10, 30, 3}, {11, 6, 3}, {12, 2, 3}, {14, 3, 3}},  // two colour items
      {{10, 30, 5}, {12, 8, 3}, {14, 3, 3}},             // unknown version
      {{10, 30, 3}, {8, 8, 2}, {14, 3, 3}},              // point-wise item in a layered list
  };
  for (const auto& items : wrong) {
    std::string error;
    std::vector<uint8_t> copy(chunk_);
    EXPECT_FALSE(decodeLayeredChunk(copy.data(), copy.size(), items, kRecord, points_, out_.data(), &error));
    EXPECT_FALSE(error.empty());
    std::vector<uint8_t> encoded;
    error.clear();
    EXPECT_FALSE(encodeLayeredChunk(good_.data(), points_, items, kRecord, &encoded, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(encoded.empty());
  }
}

TEST_F(DamagedChunk, EmptyAndSinglePointChunks) {
  std::string error;
  EXPECT_TRUE(decodeLayeredChunk(nullptr, 0, items_, kRecord, 0, nullptr, &error)) << error;
  std::vector<uint8_t> encoded;
  EXPECT_TRUE(encodeLayeredChunk(good_.data(), 0, items_, kRecord, &encoded, &error)) << error;
  EXPECT_TRUE(encoded.empty());
  // One point: the raw record alone is enough.
  std::vector<uint8_t> one(good_.begin(), good_.begin() + kRecord), decoded(kRecord);
  EXPECT_TRUE(decodeLayeredChunk(one.data(), one.size(), items_, kRecord, 1, decoded.data(), &error)) << error;
  EXPECT_TRUE(decoded == one);
}

}  // namespace
}  // namespace kl::las::testing
