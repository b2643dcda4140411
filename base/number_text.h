#pragma once
// Numbers as text for requests, files and messages: the same in every process
// locale, and never undefined for a value out of range.
#include <charconv>
#include <string>

namespace kl {

// v as std::to_chars writes it in that format and precision; "?" when the
// text would not fit 64 characters (a fixed-notation value beyond 1e57).
std::string numberText(double v, std::chars_format format, int precision);

// The whole part of v (toward zero), as a message gives metres or
// kilometres; "?" for a value that is not finite or beyond 1e15.
std::string wholeNumberText(double v);

}  // namespace kl
