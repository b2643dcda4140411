#pragma once

#include <string>
#include <string_view>

namespace kl::geo {

// The text with every byte sequence that is not well-formed UTF-8 replaced by
// U+FFFD, so that JSON output of parsed values cannot fail.
std::string validUtf8(std::string_view text);

}  // namespace kl::geo
