#include "geodata/epsg_code.h"

#include <array>

namespace kl::geo {
namespace {

constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

constexpr char lower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsWholeNumber(std::string_view text, std::string_view digits) noexcept {
  for (std::size_t pos = text.find(digits); pos != std::string_view::npos;
       pos = text.find(digits, pos + 1)) {
    const bool digitBefore = pos > 0 && isDigit(text[pos - 1]);
    const std::size_t end = pos + digits.size();
    const bool digitAfter = end < text.size() && isDigit(text[end]);
    if (!digitBefore && !digitAfter) {
      return true;
    }
  }
  return false;
}

std::size_t findEpsgWord(std::string_view text) noexcept {
  constexpr std::string_view kWord = "epsg";
  for (std::size_t i = 0; i + kWord.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < kWord.size() && lower(text[i + k]) == kWord[k]) {
      ++k;
    }
    if (k == kWord.size()) {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

int findPolishEpsg(std::string_view text) noexcept {
  constexpr std::array<std::pair<int, std::string_view>, 5> kCodes = {{
      {2176, "2176"},
      {2177, "2177"},
      {2178, "2178"},
      {2179, "2179"},
      {2180, "2180"},
  }};
  for (const auto& [code, digits] : kCodes) {
    if (containsWholeNumber(text, digits)) {
      return code;
    }
  }
  return 0;
}

int epsgFromSrsName(std::string_view srsName) noexcept {
  const std::size_t start = findEpsgWord(srsName);
  if (start == std::string_view::npos) {
    return 0;
  }
  // Codes have at most 6 digits; a longer run is not a code and must not
  // overflow the accumulator.
  constexpr int kMaxDigits = 9;
  // The parts of a compound system follow the horizontal one after one of
  // these; the height system's code must not replace the horizontal code.
  const std::size_t partEnd = srsName.find_first_of(",+&", start);
  const std::string_view part = srsName.substr(0, partEnd);
  int result = 0;
  std::size_t i = start + 4;
  while (i < part.size()) {
    if (!isDigit(part[i])) {
      ++i;
      continue;
    }
    int value = 0;
    int length = 0;
    for (; i < part.size() && isDigit(part[i]); ++i, ++length) {
      if (length < kMaxDigits) {
        value = value * 10 + (part[i] - '0');
      }
    }
    if (length <= kMaxDigits && value > 0) {
      result = value;
    }
  }
  return result;
}

}  // namespace kl::geo
