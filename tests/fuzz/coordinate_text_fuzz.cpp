// Coordinates come as text from services (GML posList) and from users' files
// (the coordinate tool). Whatever the text, only finite numbers come out, and
// what follows a point stays a part of its own line.
#include <cmath>
#include <vector>

#include "geodata/coordinate_text.h"
#include "tests/fuzz/fuzz_expect.h"
#include "tools/coords/point_line.h"

void kl::fuzz::fuzzText(std::string_view text) {
  std::vector<double> numbers;
  kl::geo::readNumbers(text, numbers);
  for (const double v : numbers) kl::fuzz::expect(std::isfinite(v));

  if (const auto point = kl::tools::readPointLine(text)) {
    kl::fuzz::expect(std::isfinite(point->a) && std::isfinite(point->b));
    kl::fuzz::expect(kl::fuzz::isInside(point->rest, text));
  }
}
