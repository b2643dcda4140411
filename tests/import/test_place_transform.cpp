// Where the fetched features land in the project: the survey point is the
// project origin, lengths survive, heights never pass through the transform.
#include <gtest/gtest.h>

#include <cmath>

#include "geodata/polish_crs.h"
#include "geodata/polygon.h"
#include "import/label_point.h"
#include "placement/place_command.h"
#include "placement/terrain_in_zone.h"

namespace kl::placement {
namespace {

geo::GisFeature parcelAround(geo::Point2d c) {
    geo::GisFeature f;
    f.polygons.push_back({{{c.x - 10, c.y - 10}, {c.x + 10, c.y - 10}, {c.x + 10, c.y + 10}, {c.x - 10, c.y - 10}}, {}});
    f.lines.push_back({{c.x, c.y}, {c.x + 100, c.y}});
    f.point = c;
    f.hasPoint = true;
    return f;
}

// In each zone: a point at the survey point lands at the project origin, and
// terrain tiles keep their seam.
TEST(SurveyPointTransform, FeaturesAndTerrainLandAroundTheSurveyPoint) {
    const std::pair<geo::Point2d, int> zones[] = {{{260720, 382860}, 2176}, {{637000, 486000}, 2178},
                                                  {{750000, 600000}, 2179}};
    for (const auto& [p, zone] : zones) {
        SCOPED_TRACE(zone);
        const geo::Point2d survey = geo::pl1992ToPl2000(p.x, p.y, zone);
        const auto local = featuresInZone({parcelAround(p)}, zone);
        const placement::PlacementTransform toProject = transformForSurveyPoint(survey);
        const geo::Point2d origin = toProject.apply(local[0].point);
        EXPECT_NEAR(origin.x, 0.0, 1e-6);
        EXPECT_NEAR(origin.y, 0.0, 1e-6);

        // A 100 m line stays 100 m within the two grids' scale difference (under 0.1 %).
        const geo::Point2d a = toProject.apply(local[0].lines[0][0]), b = toProject.apply(local[0].lines[0][1]);
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        EXPECT_NEAR(length, 100.0, 0.1);
        EXPECT_GT(std::abs(length - 100.0), 1e-4);  // the vertices really were converted
        // Vertices are converted one by one: the ring keeps its count and closure.
        EXPECT_EQ(local[0].polygons[0].exterior.size(), 4u);
        EXPECT_EQ(local[0].polygons[0].exterior.front(), local[0].polygons[0].exterior.back());

        // Two 200 m tiles sharing the column x = p.x + 200, moved into the zone:
        // they share their seam corners and seam nodes exactly, and every node
        // lands within 0.1 mm of its own conversion.
        std::vector<terrain::TerrainTile> tiles(2);
        for (int t = 0; t < 2; ++t) {
            tiles[t] = {p.x + 200.0 * t, p.y, p.x + 200.0 * (t + 1), p.y + 200.0, {}};
            for (int r = 0; r <= 20; ++r)
                for (int c = 0; c <= 20; ++c) tiles[t].points.push_back({tiles[t].minX + 10.0 * c, p.y + 10.0 * r, 100.0});
        }
        const auto grids = tilesInZone(tiles, zone);
        ASSERT_EQ(grids.size(), 2u);
        EXPECT_EQ(grids[0].corners[1], grids[1].corners[0]);
        EXPECT_EQ(grids[0].corners[2], grids[1].corners[3]);
        for (int t = 0; t < 2; ++t)
            for (std::size_t i = 0; i < tiles[t].points.size(); ++i) {
                const geo::Point2d exact = geo::pl1992ToPl2000(tiles[t].points[i].x, tiles[t].points[i].y, zone);
                EXPECT_LT(std::hypot(grids[t].points[i].x - exact.x, grids[t].points[i].y - exact.y), 1e-4);
            }
        for (std::size_t i = 20; i < grids[0].points.size(); i += 21) {  // the west tile's east column
            EXPECT_EQ(grids[0].points[i].x, grids[1].points[i - 20].x);
            EXPECT_EQ(grids[0].points[i].y, grids[1].points[i - 20].y);
        }
    }
}

}  // namespace
}  // namespace kl::placement

namespace kl::import {
namespace {

geo::Polygon ring(std::vector<geo::Point2d> pts) {
    pts.push_back(pts.front());
    return {pts, {}};
}

TEST(LabelPoint, AnLShapedParcelGetsAPointInsideItself) {
    // The centroid of this L lies in the notch, outside the parcel.
    const geo::Polygon l = ring({{0, 0}, {10, 0}, {10, 1}, {1, 1}, {1, 10}, {0, 10}});
    const auto p = geo::interiorPoint(l);
    ASSERT_TRUE(p);
    EXPECT_TRUE((p->x > 0 && p->x < 1 && p->y > 0 && p->y < 10) || (p->y > 0 && p->y < 1 && p->x > 0 && p->x < 10))
        << p->x << " " << p->y;
}

TEST(LabelPoint, OnlyFeaturesWithoutAPointGetOneAndDegenerateRingsNone) {
    std::vector<geo::GisFeature> f(3);
    f[0].polygons = {ring({{0, 0}, {4, 0}, {4, 4}, {0, 4}})};
    f[1].polygons = f[0].polygons;
    f[1].point = {100, 100};
    f[1].hasPoint = true;
    f[2].polygons = {ring({{0, 0}, {1, 1}, {2, 2}})};
    addMissingLabelPoints(f);
    EXPECT_TRUE(f[0].hasPoint);
    EXPECT_EQ(f[0].point, (geo::Point2d{2, 2}));
    EXPECT_EQ(f[1].point, (geo::Point2d{100, 100}));
    EXPECT_FALSE(f[2].hasPoint);
}

}  // namespace
}  // namespace kl::import
