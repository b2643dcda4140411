// Which polylines and texts share a key: the shapes an architect sees as
// the same drawing, and the near misses that are not.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "cleanup/element_keys.h"
#include "cleanup/least_rotation.h"

namespace kl::cleanup {
namespace {

PolylineRecord line(std::vector<KlCoord> v, std::vector<double> angles = {}) {
    PolylineRecord p;
    p.segmentAngles = angles.empty() ? std::vector<double>(v.size() - 1, 0.0) : std::move(angles);
    p.vertices = std::move(v);
    return p;
}

struct KeyCase {
    const char* name;
    PolylineRecord a, b;
    bool same;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class PolylineKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PolylineKeys, EqualExactlyForTheSameShape) {
    const KeyCase& c = GetParam();
    const auto a = polylineKey(c.a), b = polylineKey(c.b);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a == *b, c.same);
}

constexpr double kHalf = std::numbers::pi / 2;

INSTANTIATE_TEST_SUITE_P(
    Shapes, PolylineKeys,
    ::testing::Values(
        // Straight segments reversed carry a negated zero angle: it must not
        // print or compare differently from the forward zero.
        KeyCase{"openReversed", line({{0, 0}, {1, 0}, {1, 1}}), line({{1, 1}, {1, 0}, {0, 0}}), true},
        KeyCase{"openNotRotated", line({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), line({{1, 0}, {1, 1}, {0, 1}, {0, 0}}),
                false},
        // Negated after rounding, 0.0005 would give -0.001 against the 0 of -0.0005.
        KeyCase{"arcOnAHalfThousandthReversed", line({{0, 0}, {2, 0}}, {0.0005}), line({{2, 0}, {0, 0}}, {-0.0005}),
                true},
        KeyCase{"arcReversedSameSign", line({{0, 0}, {2, 0}, {2, 2}}, {kHalf, 0}),
                line({{2, 2}, {2, 0}, {0, 0}}, {0, kHalf}), false},
        KeyCase{"closedArcRotatedAndReversed",
                line({{0, 0}, {4, 0}, {4, 3}, {0, 3}, {0, 0}}, {0.5, 0, 0, 0}),
                line({{4, 0}, {0, 0}, {0, 3}, {4, 3}, {4, 0}}, {-0.5, 0, 0, 0}), true},
        KeyCase{"roundsToTheSameMillimetreAcrossZero", line({{0.0004, 0}, {1, -0.0004}}),
                line({{-0.0004, 0}, {1, 0.0004}}), true},
        KeyCase{"closerButOnBothSidesOfAHalfMillimetre", line({{0.0004, 0}, {1, 0}}), line({{0.0006, 0}, {1, 0}}),
                false},
        KeyCase{"closedAgainstOpenOfTheSamePoints", line({{0, 0}, {1, 0}, {1, 1}, {0, 0}}),
                line({{0, 0}, {1, 0}, {1, 1}, {0, 0.0001}}), false},
        // An outline run round twice has several least rotations; any of them gives one key.
        KeyCase{"outlineRunTwice", line({{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 0}}),
                line({{1, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 0}}), true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PolylineKeys, NumbersPrintRoundedAndUnreadableOnesGiveNoKey) {
    EXPECT_EQ(numberToken(0.0005), "0.001|");
    EXPECT_EQ(numberToken(-0.0005), "0|");
    EXPECT_EQ(numberToken(-0.0), "0|");
    EXPECT_EQ(numberToken(1234567.1), "1234567.1000000001|");
    EXPECT_EQ(polylineKey(line({{0, 0}, {2, 0.1}}, {0.5})), "open:0|0|0.5|2|0.10000000000000001|");
    EXPECT_EQ(polylineKey(line({{2, 0.1}, {0, 0}}, {-0.5})), "open:0|0|0.5|2|0.10000000000000001|");
    EXPECT_FALSE(polylineKey(line({{0, 0}, {NAN, 1}})));
    EXPECT_FALSE(polylineKey(line({{0, 0}, {1e306, 1}})));
    EXPECT_FALSE(polylineKey(line({{0, 0}, {1, 1}}, {INFINITY})));
    EXPECT_FALSE(polylineKey(line({{0, 0}})));
}

TEST(TextKeys, PositionOnTheMillimetreAndContent) {
    const TextRecord a{{}, 1, {10.0002, 5}, "12/3"};
    TextRecord b = a;
    b.location.x = 9.9996;
    EXPECT_EQ(textKey(a), textKey(b));
    b.content = "12/4";
    EXPECT_NE(textKey(a), textKey(b));
    b = a;
    b.location.y = 5.001;
    EXPECT_NE(textKey(a), textKey(b));
}

// The least rotation agrees with trying every rotation.
TEST(LeastRotation, MatchesEveryRotationTried) {
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::vector<int> s(1 + random() % 12);
        for (int& v : s) v = static_cast<int>(random() % 3);
        std::vector<int> best = s;
        for (size_t k = 1; k < s.size(); ++k) {
            std::vector<int> r(s.begin() + static_cast<long>(k), s.end());
            r.insert(r.end(), s.begin(), s.begin() + static_cast<long>(k));
            best = std::min(best, r);
        }
        const size_t k = leastRotation(s);
        std::vector<int> got(s.begin() + static_cast<long>(k), s.end());
        got.insert(got.end(), s.begin(), s.begin() + static_cast<long>(k));
        EXPECT_EQ(got, best);
    }
}

}  // namespace
}  // namespace kl::cleanup
