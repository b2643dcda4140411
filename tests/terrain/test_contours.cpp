#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>

#include "terrain/contour_builder.h"
#include "terrain/contour_grid.h"
#include "terrain/contour_labels.h"
#include "terrain/contour_smoothing.h"
#include "terrain/metres_text.h"

namespace kl::terrain {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = std::numbers::pi;

HeightGrid gridOf(std::int32_t nx, std::int32_t ny, std::vector<double> values, double x0 = 0.0, double y0 = 0.0,
                  double step = 1.0) {
  return {x0, y0, step, nx, ny, std::move(values)};
}

// A cone: closed contours around (cx, cy).
HeightGrid cone(double x0, double y0, std::int32_t n = 41) {
  HeightGrid g{x0, y0, 1.0, n, n, {}};
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < n; ++c) g.values.push_back(100.0 + 20.0 - std::hypot(c - 20.3, r - 19.6));
  }
  return g;
}

TEST(ContourText, IntervalsAndMetres) {
  for (const double allowed : {0.25, 0.5, 1.0, 2.0, 0.2500001}) EXPECT_TRUE(isAllowedInterval(allowed)) << allowed;
  for (const double refused : {0.3, 0.0, -1.0, 5.0, kNaN}) EXPECT_FALSE(isAllowedInterval(refused)) << refused;
  const std::pair<double, const char*> rows[] = {
      {0.25, "0,25"}, {1.0, "1,00"}, {-0.5, "-0,50"}, {9000.0 / 2999.0, "3,00"}, {1234567.0, "1,235e+06"}};
  for (const auto& [value, text] : rows) EXPECT_EQ(formatMetres(value), text);
}

// The step grows only when an axis needs more than 3000 nodes; nodes of the frame, NaN without data.
TEST(SampleGrid, StepAndNodesOfTheFrame) {
  const auto wide = sampleStepForFrame({0, 0, 9000, 100}, 1.0);
  EXPECT_DOUBLE_EQ(wide.step, 9000.0 / 2999.0);
  EXPECT_EQ(wide.message,
            "Poziomice: kadr za duzy dla kroku 1,00 m - siatka NMT ograniczona do 3000 wezlow na os. "
            "Uzyto kroku 3,00 m, aby zmiescic caly obszar.");
  const auto fits = sampleStepForFrame({0, 0, 2999, 2999}, 0.0);
  EXPECT_DOUBLE_EQ(fits.step, 1.0);
  EXPECT_TRUE(fits.message.empty());
  const auto grid = sampleGrid({10, 20, 13, 22}, 1.0, [](double x, double y) -> std::optional<double> {
    if (x == 11.0 && y == 21.0) return std::nullopt;
    return x + 10.0 * y;
  });
  ASSERT_EQ(grid.nx, 4);
  ASSERT_EQ(grid.ny, 3);
  EXPECT_EQ(grid.at(3, 2), 13.0 + 220.0);
  EXPECT_TRUE(std::isnan(grid.at(1, 1)));
  const auto none = [](double, double) -> std::optional<double> { return 1.0; };
  EXPECT_TRUE(sampleGrid({0, 0, 0.5, 10}, 1.0, none).values.empty());
  EXPECT_TRUE(sampleGrid({0, 0, kNaN, 10}, 1.0, none).values.empty());
  EXPECT_TRUE(sampleGrid({0, 0, 1e12, 10}, 1.0, none).values.empty());
}

TEST(BilateralSmooth, KeepsEdgesAndHolesAndSmoothsNoise) {
  // A 1 m step between two flat halves, a hole, and a 5 cm bump.
  HeightGrid g = gridOf(8, 6, std::vector<double>(48, 100.0));
  for (std::int32_t r = 0; r < 6; ++r) {
    for (std::int32_t c = 4; c < 8; ++c) g.values[g.index(c, r)] = 101.0;
  }
  g.values[g.index(1, 1)] = kNaN;
  g.values[g.index(2, 3)] = 100.05;
  bilateralSmooth(g, 1.5, 0.2);
  EXPECT_TRUE(std::isnan(g.at(1, 1)));
  EXPECT_NEAR(g.at(3, 3), 100.0, 0.01);  // the step's foot stays put
  EXPECT_NEAR(g.at(4, 3), 101.0, 0.01);
  EXPECT_LT(g.at(2, 3), 100.02);
  HeightGrid small = gridOf(2, 2, {1, 2, 3, 4});
  bilateralSmooth(small, 1.5, 0.2);
  EXPECT_EQ(small.values, (std::vector<double>{1, 2, 3, 4}));
}

using Points = std::vector<std::pair<double, double>>;

struct BuildCase {
  const char* name;
  HeightGrid grid;
  double interval;
  std::vector<std::pair<double, Points>> contours;  // level and points
};

const BuildCase kBuildCases[] = {
    {"ramp_levels_at_mid_height_and_top_edge", gridOf(2, 2, {0, 0, 1, 1}), 0.5,
     {{0.5, {{1, 0.5}, {0, 0.5}}}, {1.0, {{1, 1}, {0, 1}}}}},
    {"flat_at_a_level_gives_nothing", gridOf(2, 2, {1, 1, 1, 1}), 1.0, {}},
    // z00 = 1, z10 = 0, z11 = 1, z01 = 0: the centre sides with z00.
    {"saddle_bottom_right_then_top_left", gridOf(2, 2, {1, 0, 0, 1}), 0.5,
     {{0.5, {{0.5, 0}, {1, 0.5}}}, {0.5, {{0.5, 1}, {0, 0.5}}}}},
    {"saddle_other_way", gridOf(2, 2, {1, 0, 0, 0.9}), 0.5,
     {{0.5, {{0.5, 0}, {0, 0.5}}}, {0.5, {{1, 0.5 / 0.9}, {0.5 / 0.9, 1}}}}},
    {"hole_cells_left_out", gridOf(3, 2, {0, 0, 0, 1, 1, kNaN}), 0.5,
     {{0.5, {{1, 0.5}, {0, 0.5}}}, {1.0, {{1, 1}, {0, 1}}}}},
    {"all_nodata", gridOf(2, 2, {kNaN, kNaN, kNaN, kNaN}), 0.5, {}},
};

TEST(BuildContours, TracesAndJoins) {
  for (const BuildCase& c : kBuildCases) {
    SCOPED_TRACE(c.name);
    const auto result = ContourBuilder::build(c.grid, c.interval, {});
    EXPECT_FALSE(result.truncated);
    ASSERT_EQ(result.contours.size(), c.contours.size());
    for (std::size_t i = 0; i < c.contours.size(); ++i) {
      EXPECT_EQ(result.contours[i].level, c.contours[i].first);
      EXPECT_FALSE(result.contours[i].index);
      const Points& expected = c.contours[i].second;
      ASSERT_EQ(result.contours[i].points.size(), expected.size()) << i;
      for (std::size_t p = 0; p < expected.size(); ++p) {
        EXPECT_NEAR(result.contours[i].points[p].first, expected[p].first, 1e-12);
        EXPECT_NEAR(result.contours[i].points[p].second, expected[p].second, 1e-12);
      }
    }
  }
}

// Joining keys on the millimetre pair, so the 7-digit eastings of PL-2000
// join exactly as local coordinates do.
TEST(BuildContoursJoin, Pl2000EastingsJoinLikeLocalOnes) {
  const auto local = ContourBuilder::build(cone(0.0, 0.0), 1.0, {});
  const auto pl2000 = ContourBuilder::build(cone(7'500'000.0, 5'800'000.0), 1.0, {});
  ASSERT_EQ(pl2000.contours.size(), local.contours.size());
  int closedRings = 0;
  for (std::size_t i = 0; i < local.contours.size(); ++i) {
    const auto& line = pl2000.contours[i].points;
    ASSERT_EQ(line.size(), local.contours[i].points.size()) << i;
    for (std::size_t p = 0; p < line.size(); ++p) {
      EXPECT_NEAR(line[p].first - 7'500'000.0, local.contours[i].points[p].first, 1e-6);
      EXPECT_NEAR(line[p].second - 5'800'000.0, local.contours[i].points[p].second, 1e-6);
    }
    closedRings += line.front() == line.back();
    EXPECT_EQ(pl2000.contours[i].index, std::fmod(pl2000.contours[i].level, 5.0) == 0.0);
  }
  EXPECT_EQ(closedRings, 19);  // levels 101 to 119 lie wholly inside the grid
}

struct LimitCase {
  const char* name;
  ContourLimits limits;
  bool cancelAtSecondAsk;
  std::size_t contours;
  std::string message;
  bool beyondAnyTerrain = false;  // the grid: a cone, or heights beyond any terrain
};

const std::string kTooMuch =
    "Poziomice: za duzo danych dla wybranego ciecia - wynik ograniczony. Zwieksz ciecie albo zmniejsz kadr.";

const LimitCase kLimitCases[] = {
    {"within_limits", {}, false, 52, ""},
    {"level_count_cut", {5, 600'000}, false, 5, kTooMuch},
    {"point_limit_keeps_the_crossing_contour", {3000, 100}, false, 15, kTooMuch},
    {"cancel_between_levels", {}, true, 0, "Poziomice: przerwano przez uzytkownika."},
    {"heights_beyond_any_terrain", {}, false, 0, "Poziomice: wysokosci siatki poza zakresem - poziomice pominiete.",
     true},
};

TEST(BuildContourLimits, StopsWithItsMessage) {
  for (const LimitCase& c : kLimitCases) {
    SCOPED_TRACE(c.name);
    int asks = 0;
    std::size_t lastDone = 0, lastTotal = 0;
    const auto result = ContourBuilder::build(
        c.beyondAnyTerrain ? gridOf(2, 2, {0, 1e300, 0, 0}) : cone(0.0, 0.0), 1.0, c.limits,
        [&] { return c.cancelAtSecondAsk && ++asks >= 2; },
        [&](std::size_t done, std::size_t total) {
          lastDone = done;
          lastTotal = total;
        });
    EXPECT_EQ(result.contours.size(), c.contours);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(result.cancelled, c.cancelAtSecondAsk);
    if (c.message.empty()) {
      EXPECT_EQ(lastDone + 1, lastTotal);
    }
    std::size_t points = 0;
    for (const auto& contour : result.contours) points += contour.points.size();
    if (points > c.limits.maxPoints) {  // the contour that crossed the limit is the last one
      EXPECT_LE(points - result.contours.back().points.size(), c.limits.maxPoints);
    }
  }
}

TEST(SmoothContours, ChaikinKeepsRingsClosedAndThinsStraightRuns) {
  std::vector<Contour> contours = {
      {10.0, true, {{0, 0}, {4, 0}, {4, 4}, {2, 6}, {0, 4}, {0, 0}}},
      {11.0, false, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
      {12.0, false, {{0, 0}, {1, 1}}},
  };
  smoothContours(contours, 2, 0.05);
  EXPECT_EQ(contours[0].points.front(), contours[0].points.back());
  EXPECT_TRUE(contours[0].points.size() > 6 && contours[0].points.size() < 21) << "rounded, then thinned";
  EXPECT_EQ(contours[1].points, (Points{{0, 0}, {3, 0}}));  // a straight run keeps its ends only
  EXPECT_EQ(contours[2].points, (Points{{0, 0}, {1, 1}}));
}

TEST(LabelContour, PositionsAnglesAndText) {
  const struct {
    Contour contour;
    std::vector<double> xs;  // of the labels, each upright
    const char* text;
  } rows[] = {{{120.0, true, {{0, 0}, {40, 0}}}, {20.0}, "120,00"},
              {{97.5, true, {{120, 5}, {0, 5}}}, {95.0, 45.0}, "97,50"},  // going west
              {{100.0, false, {{0, 0}, {40, 0}}}, {}, ""},
              {{100.0, true, {{0, 0}, {0, 0}}}, {}, ""}};
  for (const auto& row : rows) {
    const auto labels = labelContour(row.contour);
    ASSERT_EQ(labels.size(), row.xs.size()) << row.contour.level;
    for (std::size_t i = 0; i < labels.size(); ++i) {
      EXPECT_DOUBLE_EQ(labels[i].x, row.xs[i]);
      EXPECT_DOUBLE_EQ(labels[i].angle, 0.0);
      EXPECT_EQ(labels[i].text, row.text);
    }
  }

  const std::pair<std::pair<double, double>, double> angles[] = {
      {{0.0, 0.0}, 0.0},           {{kPi / 2, 0.0}, kPi / 2},  {{0.0, kPi / 2}, kPi / 2},
      {{0.0, -kPi / 2}, kPi / 2},  {{0.3, 2.0 * kPi}, 0.3},    {{kPi, -kPi / 4}, kPi / 4}};
  for (const auto& [in, out] : angles) EXPECT_NEAR(labelAngle(in.first, in.second), out, 1e-12);
  EXPECT_TRUE(std::isnan(labelAngle(INFINITY, 0.0)));
}

}  // namespace
}  // namespace kl::terrain
