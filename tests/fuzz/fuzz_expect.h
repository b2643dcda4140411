#pragma once
// A property that a parser's result must have whatever the input: when it does
// not hold, the run stops like on a crash and libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kl::fuzz {

inline void expect(bool holds) {
  if (!holds) __builtin_trap();
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace kl::fuzz
