#pragma once
// A number as C writes it, whatever the process locale: the tests run under a
// decimal-comma locale and hand numbers to tools that read a decimal point.
#include <charconv>
#include <string>

namespace kl::test {

inline std::string cNumber(double v) {
    char text[32];
    return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

inline std::string cNumber(double v, std::chars_format format, int precision) {
    char text[64];
    return {text, std::to_chars(text, text + sizeof text, v, format, precision).ptr};
}

}  // namespace kl::test
