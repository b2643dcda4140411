#pragma once
// What every text fuzzer shares: libFuzzer's entry, which hands the input to the
// fuzzer's fuzzText as text, and a property that the parser's result must have
// whatever the input: when it does not hold, the run stops like on a crash and
// libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kl::fuzz {

inline void expect(bool holds) {
  if (!holds) __builtin_trap();
}

void fuzzText(std::string_view text);

}  // namespace kl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kl::fuzz::fuzzText({reinterpret_cast<const char*>(data), size});
  return 0;
}
