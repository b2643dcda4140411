#include "geodata/coordinate_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kl::geo {
namespace {

constexpr bool isBlank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// One number from [p, end); false when the token is not a finite number.
bool readOne(const char*& p, const char* end, double& value) {
  if (p < end && *p == '+') ++p;
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
    while (p < end && isBlank(*p)) ++p;
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
