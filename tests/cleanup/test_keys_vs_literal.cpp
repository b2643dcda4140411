// Oracle: polylines grouped by our linear canonical key and by a brute-force
// reference of the plain textual key (literal_keys.py) fall into the same
// groups. Random drawings meet the hard cases by number (copies rotated and
// reversed, arcs, negative zeros, coordinates a fraction of a millimetre
// apart); hand-made pairs meet the ones chance rarely draws.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cleanup/element_keys.h"
#include "tests/support/script_reference.h"

namespace kl::cleanup {
namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    std::vector<PolylineRecord> drawings(int bases) {
        std::vector<PolylineRecord> out;
        for (int i = 0; i < bases; ++i) {
            const PolylineRecord base = shape();
            out.push_back(base);
            for (int copies = pick(4); copies > 0; --copies) out.push_back(variant(base));
        }
        std::shuffle(out.begin(), out.end(), random_);
        return out;
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

    // Coordinates on a coarse grid, so unrelated shapes meet too.
    double coordinate() {
        static const double nudges[] = {0, 0, 0, -0.0, 0.0004, -0.0004, 0.0006, 0.0005, 1e-9};
        return pick(3) * 0.5 + nudges[pick(9)];
    }
    double angle() {
        static const double angles[] = {0, 0, 0, -0.0, 0.5, -0.5, 1.2345, 0.0005, -0.0004, 3.0};
        return angles[pick(10)];
    }

    PolylineRecord shape() {
        PolylineRecord p;
        p.layer = 1 + pick(2);
        const int n = 2 + pick(5);
        for (int i = 0; i < n; ++i) p.vertices.push_back({coordinate(), coordinate()});
        if (pick(2)) p.vertices.push_back(p.vertices.front());
        for (size_t i = 0; i + 1 < p.vertices.size(); ++i) p.segmentAngles.push_back(angle());
        return p;
    }

    PolylineRecord variant(PolylineRecord p) {
        switch (pick(5)) {
            case 0: {  // the other way round
                std::reverse(p.vertices.begin(), p.vertices.end());
                std::reverse(p.segmentAngles.begin(), p.segmentAngles.end());
                for (double& a : p.segmentAngles) a = -a;
                break;
            }
            case 1:  // a closed one from another vertex
                if (isClosed(p)) {
                    const size_t k = static_cast<size_t>(pick(static_cast<int>(p.segmentAngles.size())));
                    p.vertices.pop_back();
                    std::rotate(p.vertices.begin(), p.vertices.begin() + static_cast<long>(k), p.vertices.end());
                    p.vertices.push_back(p.vertices.front());
                    std::rotate(p.segmentAngles.begin(), p.segmentAngles.begin() + static_cast<long>(k),
                                p.segmentAngles.end());
                }
                break;
            case 2:  // a fraction of a millimetre off, the first and last vertex together
                p.vertices[static_cast<size_t>(pick(static_cast<int>(p.vertices.size())))].x += 0.0003;
                if (isClosed(p) || pick(2)) p.vertices.back() = p.vertices.front();
                break;
            case 3: p.layer = 3 - p.layer; break;
            default: p.segmentAngles[0] = angle(); break;
        }
        return p;
    }

    std::mt19937 random_;
};

nlohmann::json asJson(const PolylineRecord& p) {
    nlohmann::json vertices = nlohmann::json::array();
    for (const auto& v : p.vertices) vertices.push_back({v.x, v.y});
    return {{"layer", p.layer}, {"vertices", vertices}, {"angles", p.segmentAngles}};
}

std::vector<int> literalGroups(const std::vector<PolylineRecord>& polylines) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& p : polylines) list.push_back(asJson(p));
    const std::string answer = test::runScriptReference("python3 " KL_LITERAL_KEYS_SCRIPT, list.dump());
    const auto parsed = nlohmann::json::parse(answer, nullptr, false);
    return parsed.is_array() ? parsed.get<std::vector<int>>() : std::vector<int>{};
}

PolylineRecord line(std::vector<KlCoord> v, std::vector<double> angles = {}) {
    PolylineRecord p;
    p.layer = 1;
    p.segmentAngles = angles.empty() ? std::vector<double>(v.size() - 1, 0.0) : std::move(angles);
    p.vertices = std::move(v);
    return p;
}

struct KeyPair {
    const char* name;
    PolylineRecord a, b;
};

constexpr double kHalf = std::numbers::pi / 2;

const KeyPair kPairs[] = {
    // Straight segments reversed carry a negated zero angle.
    {"open reversed", line({{0, 0}, {1, 0}, {1, 1}}), line({{1, 1}, {1, 0}, {0, 0}})},
    {"open not rotated", line({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), line({{1, 0}, {1, 1}, {0, 1}, {0, 0}})},
    // Negated after rounding, 0.0005 would give -0.001 against the 0 of -0.0005.
    {"arc on a half thousandth reversed", line({{0, 0}, {2, 0}}, {0.0005}), line({{2, 0}, {0, 0}}, {-0.0005})},
    {"arc reversed with the same sign", line({{0, 0}, {2, 0}, {2, 2}}, {kHalf, 0}),
     line({{2, 2}, {2, 0}, {0, 0}}, {0, kHalf})},
    {"closed arc rotated and reversed", line({{0, 0}, {4, 0}, {4, 3}, {0, 3}, {0, 0}}, {0.5, 0, 0, 0}),
     line({{4, 0}, {0, 0}, {0, 3}, {4, 3}, {4, 0}}, {-0.5, 0, 0, 0})},
    {"the same millimetre across zero", line({{0.0004, 0}, {1, -0.0004}}), line({{-0.0004, 0}, {1, 0.0004}})},
    {"both sides of a half millimetre", line({{0.0004, 0}, {1, 0}}), line({{0.0006, 0}, {1, 0}})},
    {"closed against open", line({{0, 0}, {1, 0}, {1, 1}, {0, 0}}), line({{0, 0}, {1, 0}, {1, 1}, {0, 0.0001}})},
    // An outline run round twice has several least rotations; any of them gives one key.
    {"outline run twice", line({{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 0}}),
     line({{1, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 0}})},
};

TEST(KeysAgainstLiteralReference, SameGroupsOnHandMadePairsAndRandomPolylines) {
    for (unsigned seed : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::vector<PolylineRecord> polylines;
        if (seed == 0) {
            for (const KeyPair& p : kPairs) polylines.insert(polylines.end(), {p.a, p.b});
        } else {
            polylines = Generator(seed).drawings(300);
        }
        std::map<std::pair<int32_t, std::string>, int> first;  // each key's first polyline
        std::vector<int> ours;
        for (size_t i = 0; i < polylines.size(); ++i) {
            const auto key = polylineKey(polylines[i]);
            const int index = static_cast<int>(i);
            ours.push_back(key ? first.emplace(std::pair{polylines[i].layer, *key}, index).first->second : -1);
        }
        const auto reference = literalGroups(polylines);
        ASSERT_EQ(reference.size(), polylines.size()) << "the reference script did not answer";
        int grouped = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i], reference[i]) << asJson(polylines[i]).dump();
            grouped += ours[i] != static_cast<int>(i);
        }
        EXPECT_TRUE(seed == 0 || grouped > 100) << "the drawings should hold many duplicates";
    }
}

TEST(PolylineKeys, UnreadablePolylinesGiveNoKey) {
    for (const PolylineRecord& p : {line({{0, 0}, {NAN, 1}}), line({{0, 0}, {1e306, 1}}),
                                    line({{0, 0}, {1, 1}}, {INFINITY}), line({{0, 0}})})
        EXPECT_FALSE(polylineKey(p)) << asJson(p).dump();
}

}  // namespace
}  // namespace kl::cleanup
