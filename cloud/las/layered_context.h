#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "cloud/las/arithmetic_model.h"

namespace kl::las::layered {

inline constexpr uint32_t kChannelContexts = 4;

// Item versions 2 and 3 share one wire format; version 4 differs only in how the
// scanner-channel context reaches the items that follow the point.
inline bool isContextFixVersion(uint16_t version) { return version >= 4; }

// The items after the point (colour, extra bytes, wave packets) keep one state per
// scanner-channel context and follow the context the point item hands them. On a switch
// to a context that was already in use, the older format keeps predicting this one point
// from the previous context's last values (and stores the result there); writers and
// readers of that format both do so, hence it is reproduced here.
template <class Context>
class FollowedContexts {
 public:
  explicit FollowedContexts(bool contextFix) : contextFix_(contextFix) {}

  void start(uint32_t context, std::unique_ptr<Context> first) {
    for (auto& c : contexts_) c.reset();
    current_ = context & 3;
    contexts_[current_] = std::move(first);
  }

  // Returns the context whose models code this point; *last receives the one whose last
  // values predict it.
  template <class Create>
  Context& follow(uint32_t context, Context** last, Create&& create) {
    Context* previous = contexts_[current_].get();
    *last = previous;
    if (context != current_) {
      current_ = context & 3;
      auto& slot = contexts_[current_];
      if (!slot) {
        slot = create(previous);
        *last = slot.get();
      } else if (contextFix_) {
        *last = slot.get();
      }
    }
    return *contexts_[current_];
  }

 private:
  std::array<std::unique_ptr<Context>, kChannelContexts> contexts_;
  uint32_t current_ = 0;
  bool contextFix_;
};

// A family of symbol models selected by a previous value, each created on first use and
// started afresh whenever its owner's context is (re)initialised.
class LazyModels {
 public:
  LazyModels(uint32_t count, uint32_t symbols) : symbols_(symbols), models_(count), fresh_(count, 0) {}

  void restart() { std::fill(fresh_.begin(), fresh_.end(), 0); }

  ArithmeticModel& operator[](uint32_t index) {
    auto& m = models_[index];
    if (!fresh_[index]) {
      if (m) m->reset(); else m.emplace(symbols_);
      fresh_[index] = 1;
    }
    return *m;
  }

 private:
  uint32_t symbols_;
  std::vector<std::optional<ArithmeticModel>> models_;
  std::vector<uint8_t> fresh_;
};

}  // namespace kl::las::layered
