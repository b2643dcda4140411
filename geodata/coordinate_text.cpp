#include "geodata/coordinate_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace kl::geo {
namespace {

// One test against a bit set instead of six comparisons: pretty-printed
// position lists are more than half indentation.
constexpr bool isBlank(char c) noexcept {
  constexpr std::uint64_t kBlanks = (1ull << ' ') | (1ull << '\t') | (1ull << '\n') | (1ull << '\r') |
                                    (1ull << '\f') | (1ull << '\v');
  const auto u = static_cast<unsigned char>(c);
  return u <= ' ' && ((kBlanks >> u) & 1u) != 0;
}

constexpr bool isDecimalDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Past the white space at p. Pretty-printed lists indent every line with
// dozens of spaces, so after a line break runs of eight spaces are passed in
// one comparison.
const char* skipBlanks(const char* p, const char* end) noexcept {
  constexpr std::uint64_t kEightSpaces = 0x2020202020202020ull;
  if (p < end && *p == '\n') {
    ++p;
    for (std::uint64_t word = 0; end - p >= 8; p += 8) {
      std::memcpy(&word, p, sizeof word);
      if (word != kEightSpaces) break;
    }
  }
  while (p < end && isBlank(*p)) ++p;
  return p;
}

// A plain decimal ("-52.2345678") of at most 15 digits, the form nearly
// every coordinate has, without the general parser: its digits make an exact
// integer and 10^fraction digits an exact power, so one division rounds once
// and gives the very double from_chars gives. False, reading nothing, for
// any other form.
bool readPlainDecimal(const char*& p, const char* end, double& value) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr std::ptrdiff_t kMaxDigits = 15;  // below 2^53, so the integer is exact
  const char* q = p;
  const bool negative = q < end && *q == '-';
  if (negative) ++q;
  std::uint64_t digits = 0;  // wraps on absurd lengths, which are refused below
  const char* integerFrom = q;
  for (; q < end && isDecimalDigit(*q); ++q) digits = digits * 10 + static_cast<std::uint64_t>(*q - '0');
  const std::ptrdiff_t integerDigits = q - integerFrom;
  std::ptrdiff_t fractionDigits = 0;
  if (q < end && *q == '.') {
    const char* fractionFrom = ++q;
    for (; q < end && isDecimalDigit(*q); ++q) digits = digits * 10 + static_cast<std::uint64_t>(*q - '0');
    fractionDigits = q - fractionFrom;
    if (fractionDigits == 0) return false;
  }
  if (integerDigits == 0 || integerDigits + fractionDigits > kMaxDigits) return false;
  if (q < end && (*q == 'e' || *q == 'E' || *q == '.')) return false;
  const double magnitude = static_cast<double>(digits) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  p = q;
  return true;
}

// One number from [p, end); false when the token is not a finite number.
bool readOne(const char*& p, const char* end, double& value) {
  if (p < end && *p == '+') ++p;
  if (readPlainDecimal(p, end, value)) return true;
  const auto r = std::from_chars(p, end, value);
  if (r.ec != std::errc() || !std::isfinite(value)) return false;
  p = r.ptr;
  return true;
}

}  // namespace

bool readNumbers(std::string_view text, std::vector<double>& out) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (true) {
    p = skipBlanks(p, end);
    if (p == end) return true;
    double value = 0.0;
    if (!readOne(p, end, value) || (p < end && !isBlank(*p))) return false;
    out.push_back(value);
  }
}

bool readGml2Coordinates(std::string_view text, char decimal, char coordinateSeparator,
                         char tupleSeparator, std::vector<std::pair<double, double>>& out) {
  const bool blankTuples = isBlank(tupleSeparator);
  std::string value;
  double tuple[2] = {0.0, 0.0};
  int count = 0;
  bool broken = false;
  bool whole = true;
  auto finishValue = [&] {
    if (value.empty()) return;
    const char* p = value.data();
    double v = 0.0;
    if (!readOne(p, value.data() + value.size(), v) || p != value.data() + value.size()) {
      broken = true;
    } else if (count < 2) {
      tuple[count] = v;
    }
    ++count;
    value.clear();
  };
  auto finishTuple = [&] {
    finishValue();
    if (count >= 2 && !broken) {
      out.emplace_back(tuple[0], tuple[1]);
    } else if (count > 0 || broken) {
      whole = false;
    }
    count = 0;
    broken = false;
  };
  for (char c : text) {
    if (blankTuples ? isBlank(c) : c == tupleSeparator) {
      finishTuple();
    } else if (c == coordinateSeparator) {
      finishValue();
    } else if (isBlank(c)) {
      continue;
    } else {
      value.push_back(c == decimal ? '.' : c);
    }
  }
  finishTuple();
  return whole;
}

}  // namespace kl::geo
