#pragma once

#include <cstddef>
#include <cstdint>

#include "cloud/las/las_bytes.h"

namespace kl::las::layered {

// One layer of a chunk as stored: an independent arithmetic-coded stream.
struct LayerBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Byte arithmetic of the colour and extra-byte codecs: wrap into 0..255, or clamp.
inline uint8_t foldByte(int32_t v) { return static_cast<uint8_t>(v & 0xFF); }
inline int32_t clampByte(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace kl::las::layered
