#pragma once
// One input line of the coordinate tool: two numbers, then whatever follows.
// Lines come from spreadsheets and Windows files as well as from scripts.
#include <optional>
#include <string_view>

namespace kl::tools {

struct PointLine {
    double a = 0, b = 0;
    std::string_view rest;  // text after the second number, separator included
};

// Reads "a b", "a<TAB>b", "a;b", "a,b" (dot decimals), "a,1 b,2" (decimal
// commas, fields apart by blanks) and "a,1;b,2". A line end "\r" is dropped. Nothing when
// the line does not start with two finite numbers.
std::optional<PointLine> readPointLine(std::string_view line);

}  // namespace kl::tools
