#include "tools/coords/point_line.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kl::tools {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void skipBlanks(std::string_view& s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
}

// The whole of text as one finite number; a decimal comma is read as a dot.
std::optional<double> number(std::string_view text, bool decimalComma) {
    std::string digits(text);
    if (decimalComma)
        for (char& c : digits)
            if (c == ',') c = '.';
    double v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The next field: up to a blank, a ';' or (when commas separate) a ','.
std::string_view takeField(std::string_view& s, bool commaSeparates) {
    std::size_t n = 0;
    while (n < s.size() && !isBlank(s[n]) && s[n] != ';' && !(commaSeparates && s[n] == ',')) ++n;
    const std::string_view field = s.substr(0, n);
    s.remove_prefix(n);
    return field;
}

void skipSeparator(std::string_view& s) {
    skipBlanks(s);
    if (!s.empty() && (s.front() == ';' || s.front() == ',')) s.remove_prefix(1);
    skipBlanks(s);
}

}  // namespace

std::optional<PointLine> readPointLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    skipBlanks(line);
    // A first field with one comma, no dot and a second field after a blank
    // is a number with a decimal comma ("52,1 21,0"); so are the numbers of a
    // line whose fields a ';' separates, as Polish spreadsheets export them
    // ("52,1;21,0"); otherwise a comma separates the numbers ("52.1,21.0").
    std::string_view probe = line;
    const std::string_view first = takeField(probe, false);
    std::string_view afterFirst = probe;
    skipBlanks(afterFirst);
    const bool semicolonSeparated = !afterFirst.empty() && afterFirst.front() == ';';
    const bool decimalComma = semicolonSeparated ||
                              (first.find('.') == std::string_view::npos &&
                               first.find(',') != std::string_view::npos &&
                               first.find(',') == first.rfind(',') && !probe.empty() && isBlank(probe.front()));
    PointLine out;
    std::string_view s = line;
    const auto a = number(takeField(s, !decimalComma), decimalComma);
    skipSeparator(s);
    const auto b = number(takeField(s, !decimalComma), decimalComma);
    if (!a || !b) return std::nullopt;
    out.a = *a;
    out.b = *b;
    out.rest = s;
    return out;
}

}  // namespace kl::tools
