#include "terrain/metres_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kl::terrain {

std::string formatMetres(double metres) {
  char text[64];
  const auto [end, error] = std::abs(metres) < 1e6
                                ? std::to_chars(text, text + sizeof text, metres, std::chars_format::fixed, 2)
                                : std::to_chars(text, text + sizeof text, metres, std::chars_format::general, 4);
  std::string result(text, error == std::errc() ? end : text);
  std::replace(result.begin(), result.end(), '.', ',');
  return result;
}

}  // namespace kl::terrain
