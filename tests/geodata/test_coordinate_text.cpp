#include "geodata/coordinate_text.h"

#include <gtest/gtest.h>

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

TEST(CoordinateText, PositionsOfTheDeclaredDimension) {
  const std::vector<double> flat = {1, 2, 0, 3, 4, 0, 5};
  std::vector<std::pair<double, double>> got;
  forEachPosition(flat, 3, [&](double a, double b) { got.emplace_back(a, b); });
  EXPECT_EQ(got, (std::vector<std::pair<double, double>>{{1, 2}, {3, 4}}));
  got.clear();
  forEachPosition(flat, 2, [&](double a, double b) { got.emplace_back(a, b); });
  EXPECT_EQ(got.size(), 3u);  // the odd trailing number is dropped
}

TEST(CoordinateText, Gml2CoordinatesWithDefaultAndCustomSeparators) {
  std::vector<std::pair<double, double>> got;
  EXPECT_TRUE(readGml2Coordinates("1,2 3,4\n 5,6,7", '.', ',', ' ', got));
  EXPECT_EQ(got, (std::vector<std::pair<double, double>>{{1, 2}, {3, 4}, {5, 6}}));
  got.clear();
  readGml2Coordinates("1,5;2,5|3,25;4", ',', ';', '|', got);
  EXPECT_EQ(got, (std::vector<std::pair<double, double>>{{1.5, 2.5}, {3.25, 4}}));
  got.clear();
  EXPECT_FALSE(readGml2Coordinates("1,x 3,4 5", '.', ',', ' ', got));
  EXPECT_EQ(got, (std::vector<std::pair<double, double>>{{3, 4}}));
}

}  // namespace
}  // namespace kl::geo
