#include "base/number_text.h"

#include <cmath>

namespace kl {

std::string numberText(double v, std::chars_format format, int precision) {
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, v, format, precision);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

std::string wholeNumberText(double v) {
    const double whole = std::trunc(v);
    // Casting a double outside the range of long long is undefined.
    if (!(std::fabs(whole) < 1e15)) return "?";
    return std::to_string(static_cast<long long>(whole));
}

}  // namespace kl
