#pragma once
// A picture's bytes as the project JSON carries them: base64 text in a
// project file, and the hash the page's model names them by.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::host {

std::string base64Encode(const std::vector<unsigned char>& bytes);
// nullopt unless text is canonical padded base64 (what base64Encode writes).
std::optional<std::vector<unsigned char>> base64Decode(std::string_view text);
// FNV-1a, 64 bits.
uint64_t pictureHash(const std::vector<unsigned char>& bytes);

}  // namespace kl::host
