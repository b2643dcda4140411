#pragma once
// A cheap look at JSON text before it is parsed. A parsed tree costs many times
// the text it came from, most of all for "[[[[..." where every byte becomes a
// node, so text nested deeper than any real message is refused unparsed.
#include <cstddef>
#include <string_view>

namespace kl::platform {

// Deep enough for every message, settings file and request this product knows.
inline constexpr std::size_t kMaxJsonNesting = 64;

// False when arrays and objects in text nest deeper than maxDepth. Brackets
// inside string literals do not count. Malformed text is left to the parser.
bool jsonNestingWithin(std::string_view text, std::size_t maxDepth = kMaxJsonNesting);

}  // namespace kl::platform
