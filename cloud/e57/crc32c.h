#pragma once
#include <cstddef>
#include <cstdint>

namespace kl::e57 {

// CRC-32C (Castagnoli, reflected, init and final xor 0xFFFFFFFF), the page
// checksum of E57 files. Uses the SSE4.2 instruction when the CPU has it.
uint32_t crc32c(const uint8_t* data, size_t size);

}  // namespace kl::e57
