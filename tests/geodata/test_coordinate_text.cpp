// Coordinate lists read as C reads numbers, whatever the locale (GML 2
// tuples with their own separators are the parser tests').
#include "geodata/coordinate_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

namespace kl::geo {
namespace {

std::vector<double> numbers(std::string_view text) {
  std::vector<double> out;
  readNumbers(text, out);
  return out;
}

TEST(CoordinateText, ReadsAnyWhiteSpaceAndCSyntax) {
  EXPECT_EQ(numbers(" 1.5\t-2e3\n\r+3 4 "), (std::vector<double>{1.5, -2000.0, 3.0, 4.0}));
}

// The library parser is the oracle: every form, short plain decimals of every
// digit count and point position included, reads to its very double.
TEST(CoordinateText, EveryDecimalReadsAsTheLibraryParserReadsIt) {
  std::vector<std::string> texts = {"-0", "0.000", "5.", ".5", "-.5", "007.10", "1.5e3", "12.5E-1", "-999999999999999",
                                    "9999999999999999", "0.1234567890123456789", "1.2.3"};
  std::mt19937_64 random(19);
  for (int i = 0; i < 200000; ++i) {
    std::string digits = std::to_string(random() % 1000000000000000000ull).substr(0, 1 + random() % 17);
    const std::size_t point = random() % (digits.size() + 1);
    if (point < digits.size()) digits.insert(point, ".");
    texts.push_back((random() % 2 ? "-" : "") + digits);
  }
  for (const std::string& text : texts) {
    double want = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), want);
    std::vector<double> got;
    const bool whole = readNumbers(text, got);
    ASSERT_EQ(whole, r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
    if (whole) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(got.at(0)), std::bit_cast<std::uint64_t>(want)) << text;
    }
  }
}

TEST(CoordinateText, StopsAtTheFirstBadTokenAndSaysSo) {
  const std::pair<const char*, std::vector<double>> cases[] = {
      {"1 2 3,5 4", {1.0, 2.0}}, {"1 nan 2", {1.0}}, {"1 inf", {1.0}}, {"1e999", {}}};
  for (const auto& [text, read] : cases) {
    std::vector<double> out;
    EXPECT_FALSE(readNumbers(text, out)) << text;
    EXPECT_EQ(out, read) << text;
  }
  std::vector<double> none;
  EXPECT_TRUE(readNumbers("", none));
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace kl::geo
