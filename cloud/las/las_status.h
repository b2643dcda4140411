#pragma once

#include <string>
#include <utility>

namespace kl::las {

// Outcome of a LAS/LAZ operation: ok, or a Polish message that names the file and the cause.
struct LasStatus {
  bool ok = true;
  std::string message;

  static LasStatus success() { return {}; }
  static LasStatus failure(std::string text) { return {false, std::move(text)}; }
  explicit operator bool() const { return ok; }
};

}  // namespace kl::las
