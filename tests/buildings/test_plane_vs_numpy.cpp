// Roof plane fits against NumPy's least squares on the same points: noisy
// roofs of every pitch at PL-1992 coordinates, where centring decides the
// precision.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <nlohmann/json.hpp>

#include "buildings/plane.h"
#include "tests/support/script_reference.h"

namespace kl::buildings {
namespace {

struct RoofSample {
    const char* name;
    double a, b, c;  // z = a (x - x0) + b (y - y0) + c
    int points;
    double noise;  // metres, standard deviation
};

std::vector<Point3d> sample(const RoofSample& r, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> across(0, 15);
    std::normal_distribution<double> eaves(0, r.noise > 0 ? r.noise : 1);
    std::vector<Point3d> pts;
    for (int i = 0; i < r.points; ++i) {
        const double u = across(gen), v = across(gen) * 0.7;
        pts.push_back({260500 + u, 382700 + v, r.a * u + r.b * v + r.c + (r.noise > 0 ? eaves(gen) : 0)});
    }
    return pts;
}

nlohmann::json reference(const std::vector<std::vector<Point3d>>& sets) {
    nlohmann::json in = nlohmann::json::array();
    for (const auto& set : sets) {
        nlohmann::json pts = nlohmann::json::array();
        for (const auto& p : set) pts.push_back({p.x, p.y, p.z});
        in.push_back(pts);
    }
    // Debian's interpreter, which holds python3-numpy.
    const std::string answer = test::runScriptReference("/usr/bin/python3 " KL_PLANE_SCRIPT, in.dump());
    return nlohmann::json::parse(answer, nullptr, false);
}

TEST(PlaneAgainstNumpy, SameRoofPlanesOnNoisyPoints) {
    const RoofSample roofs[] = {
        {"flat roof with eaves noise", 0, 0, 201.3, 400, 0.05},
        {"30 degree gable side", 0.577, 0, 196.0, 2000, 0.08},
        {"45 degree hip, turned", 0.7071, -0.7071, 199.5, 800, 0.1},
        {"steep mansard face", 2.5, 0.3, 190.0, 150, 0.03},
        {"three exact points", 0.2, 0.1, 205.0, 3, 0},
    };
    std::vector<std::vector<Point3d>> sets;
    for (unsigned i = 0; i < std::size(roofs); ++i) sets.push_back(sample(roofs[i], 17 + i));
    const nlohmann::json ref = reference(sets);
    ASSERT_TRUE(ref.is_array() && ref.size() == sets.size()) << "the NumPy reference did not answer";
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const std::optional<Plane> ours = fitPlane(sets[i]);
        ASSERT_TRUE(ours) << roofs[i].name;
        const double a = ref[i][0], b = ref[i][1], c = ref[i][2], mx = ref[i][3], my = ref[i][4];
        const double len = std::sqrt(a * a + b * b + 1);
        EXPECT_NEAR(ours->nx, -a / len, 1e-9) << roofs[i].name;
        EXPECT_NEAR(ours->ny, -b / len, 1e-9) << roofs[i].name;
        EXPECT_NEAR(ours->nz, 1 / len, 1e-9) << roofs[i].name;
        for (const Point3d& p : sets[i]) {
            const double theirs = a * (p.x - mx) + b * (p.y - my) + c;
            EXPECT_NEAR(-(ours->nx * p.x + ours->ny * p.y + ours->d) / ours->nz, theirs, 1e-9) << roofs[i].name;
        }
    }
}

}  // namespace
}  // namespace kl::buildings
