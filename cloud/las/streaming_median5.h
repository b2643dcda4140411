#pragma once

#include <algorithm>
#include <cstdint>

namespace kl::las {

// Running median of the last five values, as the coordinate predictor expects it:
// the insertion alternates between the upper and lower half. Whether a value falls
// below the median is close to random, so the insertion is done without branches:
// from the upper half the largest value goes and from the lower half the smallest,
// and the new value takes its place in order among the four that stay.
class StreamingMedian5 {
 public:
  void reset() {
    v_[0] = v_[1] = v_[2] = v_[3] = v_[4] = 0;
    high_ = true;
  }
  int32_t get() const { return v_[2]; }
  void add(int32_t x) {
    const int32_t* w = v_ + !high_;
    const int32_t w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
    // a value equal to the median counts as below it only when inserting from the lower half
    high_ = (x < v_[2]) | (!high_ & (x == v_[2]));
    v_[0] = std::min(w0, x);
    v_[1] = std::max(w0, std::min(w1, x));
    v_[2] = std::max(w1, std::min(w2, x));
    v_[3] = std::max(w2, std::min(w3, x));
    v_[4] = std::max(w3, x);
  }

 private:
  int32_t v_[5] = {0, 0, 0, 0, 0};
  bool high_ = true;
};

}  // namespace kl::las
