#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kl::las {

// Little-endian field access; memcpy keeps it free of alignment and aliasing traps.
template <typename T>
inline T loadLe(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

template <typename T>
inline void storeLe(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof(T));
}

template <typename T>
inline void appendLe(std::vector<uint8_t>* out, T v) {
  const size_t at = out->size();
  out->resize(at + sizeof(T));
  std::memcpy(out->data() + at, &v, sizeof(T));
}

// A fixed-width, NUL-padded text field.
inline std::string fixedText(const uint8_t* p, size_t width) {
  size_t n = 0;
  while (n < width && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

inline void appendFixedText(std::vector<uint8_t>* out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out->push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

}  // namespace kl::las
