#pragma once

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
    v_[0] = lower(w0, x);
    v_[1] = higher(w0, lower(w1, x));
    v_[2] = higher(w1, lower(w2, x));
    v_[3] = higher(w2, lower(w3, x));
    v_[4] = higher(w3, x);
  }

 private:
  // Written as masks: from std::min and std::max (or selects marked as unpredictable)
  // the compiler made some of these jumps over the rest, which mispredicted about half
  // the time; from this form it makes conditional moves.
  static int32_t lower(int32_t a, int32_t b) { return b ^ ((a ^ b) & -static_cast<int32_t>(a < b)); }
  static int32_t higher(int32_t a, int32_t b) { return b ^ ((a ^ b) & -static_cast<int32_t>(a > b)); }

  int32_t v_[5] = {0, 0, 0, 0, 0};
  bool high_ = true;
};

}  // namespace kl::las
