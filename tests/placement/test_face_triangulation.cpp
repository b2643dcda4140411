#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "geodata/polygon.h"
#include "placement/edge_flips.h"
#include "placement/face_triangulation.h"

using namespace kl;
using geo::Point2d;
using placement::Ring3;
using placement::Triangle;

namespace {

using Ring = std::vector<Point2d>;
using geo::ringContains;
using geo::signedArea;

double orient(Point2d a, Point2d b, Point2d c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

bool properlyCross(Point2d a, Point2d b, Point2d c, Point2d d) {
    const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
    return d1 * d2 < 0 && d3 * d4 < 0;
}

// ---- the corpus: outline first, then holes
Ring lShape() { return {{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}}; }

Ring comb(int teeth) {
    Ring r{{0, 0}, {2.0 * teeth, 0}};
    for (int i = teeth - 1; i >= 0; --i) {
        r.push_back({2.0 * i + 2, 5});
        r.push_back({2.0 * i + 1, 5});
        r.push_back({2.0 * i + 1, 1});
        r.push_back({2.0 * i + 0.5, 1});
    }
    r.back() = {0, 5};
    return r;
}

// An L whose sides carry a corner every metre.
const Ring kCollinearRuns{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {5, 1}, {5, 2}, {5, 3}, {4, 3}, {3, 3},
                          {2, 3}, {2, 4}, {2, 5}, {2, 6}, {1, 6}, {0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}};

Ring star(int points, double inner, double wobble = 0) {
    Ring r;
    for (int i = 0; i < 2 * points; ++i) {
        const double a = std::numbers::pi * i / points;
        const double rad = (i % 2 ? inner : 10.0) * (1 + wobble * std::sin(7.0 * i));
        r.push_back({rad * std::cos(a), rad * std::sin(a)});
    }
    return r;
}

Ring box(double x, double y, double w, double h, bool clockwise = false) {
    Ring r{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    if (clockwise) std::reverse(r.begin(), r.end());
    return r;
}

struct FaceCase {
    const char* name;
    std::vector<Ring> rings;
};

std::vector<FaceCase> corpus() {
    return {
        {"lShape", {lShape()}},
        {"combOf30Teeth", {comb(30)}},
        {"collinearRuns", {kCollinearRuns}},
        {"wobblyStar1000", {star(500, 6, 0.05)}},
        {"courtyard", {box(0, 0, 30, 20), box(10, 5, 10, 10, true)}},
        {"threeHoles", {box(0, 0, 40, 10), box(2, 2, 5, 5), box(12, 3, 6, 4), box(25, 1, 10, 8, true)}},
        {"holeNextToReflexCorner", {lShape(), box(0.25, 1.5, 0.5, 1)}},
        {"combWithHoles", {comb(10), box(0.2, 0.2, 3, 0.5), box(8, 0.3, 5, 0.4)}},
    };
}

// The oracle: n + 2h - 2 triangles, every one counter-clockwise and inside
// the face, none crossing an edge of the face, areas summing to the face's.
void expectTriangulates(const std::vector<Ring>& rings, const std::vector<Triangle>& triangles) {
    std::vector<Point2d> all;
    for (const auto& r : rings) all.insert(all.end(), r.begin(), r.end());
    const size_t holes = rings.size() - 1;
    ASSERT_EQ(triangles.size(), all.size() + 2 * holes - 2);
    double faceArea = std::abs(signedArea(rings[0]));
    for (size_t h = 1; h < rings.size(); ++h) faceArea -= std::abs(signedArea(rings[h]));
    double sum = 0;
    for (const auto& t : triangles) {
        const Point2d a = all[static_cast<size_t>(t[0])], b = all[static_cast<size_t>(t[1])],
                      c = all[static_cast<size_t>(t[2])];
        const double area = orient(a, b, c) / 2;
        EXPECT_GT(area, 0.0);
        sum += area;
        const Point2d centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3};
        EXPECT_TRUE(ringContains(rings[0], centre));
        for (size_t h = 1; h < rings.size(); ++h) EXPECT_FALSE(ringContains(rings[h], centre));
        for (const auto& r : rings)
            for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
                for (int k = 0; k < 3; ++k)
                    EXPECT_FALSE(properlyCross(all[static_cast<size_t>(t[static_cast<size_t>(k)])],
                                               all[static_cast<size_t>(t[static_cast<size_t>((k + 1) % 3)])], r[j], r[i]));
    }
    EXPECT_NEAR(sum, faceArea, 1e-9 * faceArea);
}

// Faces standing in space (a roof seen from above, a ground face seen from
// below, a wall and a slope) are covered exactly by ear clipping and the edge
// flips after it, every triangle facing the way the face does: taken back
// onto the flat face, each turns the way its outline does.
TEST(Triangulation, CoversTheFaceExactlyFacingTheWayTheFaceDoes) {
    using Lift = std::function<buildings::Point3d(Point2d)>;
    const std::vector<std::pair<const char*, Lift>> planes = {
        {"roof", [](Point2d p) { return buildings::Point3d{p.x, p.y, 7}; }},
        {"wall", [](Point2d p) { return buildings::Point3d{p.x, 0.5 * p.x, p.y}; }},
        {"slope", [](Point2d p) { return buildings::Point3d{p.y * 0.3, p.x, 2 + 0.8 * p.y}; }},
    };
    for (const FaceCase& face : corpus()) {
        const std::vector<Ring>& flat = face.rings;
        for (const auto& [plane, lift] : planes)
            for (bool downwards : {false, true}) {
                SCOPED_TRACE(std::string(face.name) + " as " + plane + (downwards ? " reversed" : ""));
                std::vector<Ring3> rings;
                std::vector<int32_t> flatIndex;  // of each corner in space, among the flat face's corners
                for (const auto& r : flat) {
                    const auto n = static_cast<int32_t>(r.size()), offset = static_cast<int32_t>(flatIndex.size());
                    Ring3& ring = rings.emplace_back();
                    for (int32_t i = 0; i < n; ++i) {
                        const int32_t k = downwards ? n - 1 - i : i;
                        ring.push_back(lift(r[static_cast<size_t>(k)]));
                        flatIndex.push_back(offset + k);
                    }
                }
                placement::TriangulationStats stats;
                std::vector<Triangle> triangles =
                    placement::triangulateFace(rings[0], std::vector<Ring3>(rings.begin() + 1, rings.end()), &stats);
                EXPECT_EQ(stats.earClipOk, 1);
                for (Triangle& t : triangles) {
                    for (int32_t& corner : t) corner = flatIndex[static_cast<size_t>(corner)];
                    if ((signedArea(flat[0]) < 0) != downwards) std::swap(t[1], t[2]);
                }
                expectTriangulates(flat, triangles);
            }
    }
}

// Slivers left by the ear choice are the flips' to mend (below); an outline
// without ears falls back to a fan.
TEST(EarChoice, NoEarGivesAFan) {
    placement::TriangulationStats stats;
    const Ring3 flat{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
    EXPECT_EQ(placement::triangulateFace(flat, {}, &stats).size(), 3u);
    EXPECT_EQ(stats.fanFallbacks, 1);
}

TEST(EdgeFlips, AFanOfSliversBecomesDelaunay) {
    // a convex 8-gon fanned from vertex 0 is a quasi-fan; flips spread it out
    Ring octagon;
    for (int i = 0; i < 8; ++i) octagon.push_back({std::cos(i * std::numbers::pi / 4) * 10, std::sin(i * std::numbers::pi / 4) * 3});
    std::vector<Triangle> fan;
    for (int32_t i = 2; i < 8; ++i) fan.push_back({0, i - 1, i});
    ASSERT_TRUE(placement::isQuasiFan(fan));
    placement::flipEdges(octagon, fan);
    expectTriangulates({octagon}, fan);
    for (const auto& t : fan) {  // no corner inside another triangle's circumcircle
        const Point2d a = octagon[static_cast<size_t>(t[0])], b = octagon[static_cast<size_t>(t[1])],
                      c = octagon[static_cast<size_t>(t[2])];
        for (const Point2d& d : octagon) {
            const double ax = a.x - d.x, ay = a.y - d.y, bx = b.x - d.x, by = b.y - d.y, cx = c.x - d.x, cy = c.y - d.y;
            const double det = (ax * ax + ay * ay) * (bx * cy - cx * by) - (bx * bx + by * by) * (ax * cy - cx * ay) +
                               (cx * cx + cy * cy) * (ax * by - bx * ay);
            EXPECT_LE(det, 1e-9);
        }
    }
}

}  // namespace
