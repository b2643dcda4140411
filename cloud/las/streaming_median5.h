#pragma once

#include <cstdint>

namespace kl::las {

// Running median of the last five values, as the coordinate predictor expects it:
// the insertion alternates between the upper and lower half.
class StreamingMedian5 {
 public:
  void reset() {
    v_[0] = v_[1] = v_[2] = v_[3] = v_[4] = 0;
    high_ = true;
  }
  int32_t get() const { return v_[2]; }
  void add(int32_t x) {
    if (high_) {
      if (x < v_[2]) {
        v_[4] = v_[3];
        v_[3] = v_[2];
        if (x < v_[0]) {
          v_[2] = v_[1];
          v_[1] = v_[0];
          v_[0] = x;
        } else if (x < v_[1]) {
          v_[2] = v_[1];
          v_[1] = x;
        } else {
          v_[2] = x;
        }
      } else {
        if (x < v_[3]) {
          v_[4] = v_[3];
          v_[3] = x;
        } else {
          v_[4] = x;
        }
        high_ = false;
      }
    } else {
      if (v_[2] < x) {
        v_[0] = v_[1];
        v_[1] = v_[2];
        if (v_[4] < x) {
          v_[2] = v_[3];
          v_[3] = v_[4];
          v_[4] = x;
        } else if (v_[3] < x) {
          v_[2] = v_[3];
          v_[3] = x;
        } else {
          v_[2] = x;
        }
      } else {
        if (v_[1] < x) {
          v_[0] = v_[1];
          v_[1] = x;
        } else {
          v_[0] = x;
        }
        high_ = true;
      }
    }
  }

 private:
  int32_t v_[5] = {0, 0, 0, 0, 0};
  bool high_ = true;
};

}  // namespace kl::las
