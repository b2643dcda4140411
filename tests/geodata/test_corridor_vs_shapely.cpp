// The ring test and the corridor outlines against shapely: random points
// against random rings, corridor areas against flat-ended, mitred buffers of
// the same centrelines, and every corridor a valid (simple) polygon.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <nlohmann/json.hpp>

#include "geodata/corridor_ring.h"
#include "geodata/polygon.h"
#include "tests/support/script_reference.h"

namespace kl::geo {
namespace {

using nlohmann::json;

json asJson(const std::vector<Point2d>& points) {
    json out = json::array();
    for (const Point2d& p : points) out.push_back({p.x, p.y});
    return out;
}

json askShapely(const json& request) {
    return json::parse(test::runScriptReference(KL_SHAPELY_PYTHON " " KL_SHAPELY_ORACLE, request.dump()), nullptr, false);
}

// A star-shaped ring around a centre: simple, often concave.
Ring randomRing(std::mt19937& rng) {
    std::uniform_real_distribution<double> radius(20.0, 100.0);
    std::uniform_int_distribution<int> count(3, 24);
    const int n = count(rng);
    Ring ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        const double r = radius(rng);
        ring.push_back({500000.0 + r * std::cos(a), 300000.0 + r * std::sin(a)});
    }
    return ring;
}

struct CorridorCase {
    const char* name;
    std::vector<Point2d> line;
    double halfWidth;
    double relativeTolerance;  // of the area against the buffer; below 0: validity only
};

std::vector<Point2d> polyline(std::initializer_list<std::pair<double, double>> offsets) {
    std::vector<Point2d> out;
    for (const auto& [dx, dy] : offsets) out.push_back({260500.0 + dx, 382700.0 + dy});
    return out;
}

std::vector<CorridorCase> corridorCases() {
    std::vector<CorridorCase> cases = {
        {"StraightTwoPoints", polyline({{0, 0}, {120, 35}}), 3.5, 1e-9},
        {"StraightManyPoints", polyline({{0, 0}, {10, 10}, {25, 25}, {26, 26}, {80, 80}}), 4.0, 1e-9},
        {"StraightRepeatedVertex", polyline({{0, 0}, {40, 0}, {40, 0}, {90, 0}}), 3.0, 1e-9},
        {"RightAngle", polyline({{0, 0}, {60, 0}, {60, 60}}), 4.0, 0.02},
        {"SharpBend", polyline({{0, 0}, {100, 0}, {10, 12}}), 3.5, -1},
        {"HairpinOfShortSegments", polyline({{0, 0}, {50, 0}, {52, 2}, {50, 4}, {0, 4.5}}), 3.0, -1},
        {"Zigzag", polyline({{0, 0}, {20, 5}, {0, 10}, {20, 15}, {0, 20}}), 2.0, -1},
        {"RepeatedVertexAtBend", polyline({{0, 0}, {50, 0}, {50, 0}, {50, 50}}), 3.0, 0.02},
    };
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> turn(-0.6, 0.6), length(30.0, 90.0);
    for (int r = 0; r < 40; ++r) {
        std::vector<Point2d> line = polyline({{0, 0}});
        double heading = 0;
        for (int k = 0; k < 6; ++k) {
            heading += turn(rng);
            const double l = length(rng);
            line.push_back({line.back().x + l * std::cos(heading), line.back().y + l * std::sin(heading)});
        }
        cases.push_back({"RandomBends", line, 3.5, 0.02});
        // the same line folding back on itself at random sharp angles: only simplicity is asked
        std::uniform_real_distribution<double> sharp(2.6, 3.1);
        line.push_back({line.back().x + 25 * std::cos(heading + sharp(rng)), line.back().y + 25 * std::sin(heading + sharp(rng))});
        cases.push_back({"RandomSharpEnd", line, 3.5, -1});
    }
    return cases;
}

// Random points against random rings (the ring test), corridor areas against
// the buffers of their centrelines, and every corridor ring simple: one
// request to shapely.
TEST(GeometryVsShapely, RingTestAndCorridorOutlinesAgree) {
    const std::vector<CorridorCase> cases = corridorCases();
    json request = {{"contains", json::array()}, {"buffers", json::array()}, {"rings", json::array()}};
    std::mt19937 rng(15);
    std::uniform_real_distribution<double> offset(-110.0, 110.0);
    std::vector<std::pair<Ring, std::vector<Point2d>>> probes;  // a ring and its points
    for (int r = 0; r < 60; ++r) {
        Ring ring = randomRing(rng);
        std::vector<Point2d> points;
        for (int k = 0; k < 200; ++k) points.push_back({500000.0 + offset(rng), 300000.0 + offset(rng)});
        // points on a vertex's northing: the strict comparisons decide there
        for (const Point2d& v : ring) points.push_back({v.x - 0.5, v.y});
        request["contains"].push_back({{"ring", asJson(ring)}, {"points", asJson(points)}});
        probes.emplace_back(std::move(ring), std::move(points));
    }
    std::vector<Ring> rings;
    for (const CorridorCase& c : cases) {
        const std::vector<double> hw(c.line.size(), c.halfWidth);
        rings.push_back(corridorRing(c.line, hw, hw, false));
        request["buffers"].push_back({{"line", asJson(c.line)}, {"halfWidth", c.halfWidth}});
        request["rings"].push_back(asJson(rings.back()));
    }
    const json answer = askShapely(request);
    ASSERT_TRUE(answer.is_object()) << "shapely (python3-shapely) did not answer";
    int compared = 0;
    for (std::size_t c = 0; c < probes.size(); ++c) {
        for (std::size_t k = 0; k < probes[c].second.size(); ++k) {
            const json& expected = answer["contains"][c][k];
            if (expected.is_null()) continue;
            ++compared;
            EXPECT_EQ(ringContains(probes[c].first, probes[c].second[k]), expected.get<bool>()) << "ring " << c << " point " << k;
        }
    }
    EXPECT_GT(compared, 12000);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const CorridorCase& c = cases[i];
        const json& ring = answer["rings"][i];
        EXPECT_TRUE(ring["valid"].get<bool>()) << c.name << " " << i;
        if (c.relativeTolerance < 0) continue;
        const double buffer = answer["bufferAreas"][i].get<double>();
        const double relative = std::abs(ring["area"].get<double>() - buffer) / buffer;
        EXPECT_LE(relative, c.relativeTolerance) << c.name << " " << i;
        EXPECT_NEAR(std::abs(signedArea(rings[i])), ring["area"].get<double>(), 1e-6 * buffer) << c.name;
    }
}

TEST(CorridorRing, SidesEndsAndDegenerateLines) {
    // 3 m to the left, 2 m to the right of an eastward line: a 5 m band.
    const Ring band = corridorRing({{0, 0}, {10, 0}}, {3, 3}, {2, 2}, false);
    EXPECT_EQ(band, (Ring{{0, 3}, {10, 3}, {10, -2}, {0, -2}}));
    // uniform: each side takes its median half-width
    const Ring even = corridorRing({{0, 0}, {5, 0}, {10, 0}}, {1, 4, 9}, {2, 2, 7}, true);
    EXPECT_EQ(even, (Ring{{0, 4}, {5, 4}, {10, 4}, {10, -2}, {5, -2}, {0, -2}}));
    EXPECT_TRUE(corridorRing({{0, 0}}, {1}, {1}, false).empty());
    EXPECT_TRUE(corridorRing({{0, 0}, {0, 0}}, {1, 1}, {1, 1}, false).empty()) << "one distinct vertex";
    EXPECT_FALSE(ringContains({}, {0, 0}));
}

}  // namespace
}  // namespace kl::geo
