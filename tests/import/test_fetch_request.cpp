// The fetch a page asks for, read or refused in Polish; and where the fetched
// features land in the project: the survey point is the project origin,
// lengths survive, heights never pass through the transform.
#include "import/fetch_request.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geodata/polish_crs.h"
#include "geodata/polygon.h"
#include "import/label_point.h"
#include "placement/place_command.h"
#include "placement/terrain_in_zone.h"

namespace kl::import {
namespace {

using nlohmann::json;

json fetchMessage(json box, json layers = json::array({"dzialki"})) {
    return {{"type", "fetch"}, {"bboxWgs84", std::move(box)}, {"layers", std::move(layers)}};
}

json withOption(const char* key, json value) {
    json m = fetchMessage({15.56, 51.26, 15.57, 51.27});
    m[key] = value;
    return m;
}

struct Refusal {
    const char* name;
    json message;
    const char* startOfError;
};

const double kInf = std::numeric_limits<double>::infinity();

TEST(FetchRequest, RefusalsAreAnsweredWithAPolishTextAndNoRequest) {
    const Refusal cases[] = {
        {"ThreeNumbers", fetchMessage({15.5, 51.2, 15.6}), "Nieprawidlowy bbox"},
        {"NoBox", json{{"type", "fetch"}}, "Nieprawidlowy bbox"},
        {"Infinite", fetchMessage({15.5, 51.2, kInf, 51.3}), "Nieprawidlowy bbox: wspolrzedne"},
        {"ZeroWidth", fetchMessage({15.5, 51.2, 15.5, 51.3}), "Nieprawidlowy bbox: kadr ma zerowy"},
        {"CrossesTheBorder", fetchMessage({13.9, 52.0, 14.1, 52.1}), "Kadr lezy poza Polska"},
        {"JustOverTheCap", fetchMessage({19.0, 52.0, 19.0 + 0.0816, 52.0 + 0.042}), "Kadr za duzy: "},
        {"RasterScaleBeyondInt", withOption("rasterScale", 1e30), "Nieprawidlowa skala rastra"},
        {"TerrainStepFraction", withOption("terrainStep", 2.5), "Nieprawidlowy krok terenu"},
        {"UnknownLayer", fetchMessage({15.56, 51.26, 15.57, 51.27}, {"dzialki", "chmury"}),
                "Nieznany rodzaj danych: \"chmury\""},
        {"TextCorners", fetchMessage({"15.5", "51.2", "15.6", "51.3"}),
                "Pole \"bboxWgs84\" ma nieprawidlowy typ."},
        {"LayerNotText", fetchMessage({15.5, 51.2, 15.6, 51.3}, {"dzialki", 4}),
                "Pole \"layers\" ma nieprawidlowy typ."},
        {"ScaleAsText", withOption("rasterScale", "1000"), "Pole \"rasterScale\" ma nieprawidlowy typ."},
        {"SmoothingAsNumber", withOption("poziomiceWygladz", 1), "Pole \"poziomiceWygladz\" ma nieprawidlowy typ."}};
    for (const Refusal& c : cases) {
        const FetchRequestCheck check = readFetchRequest(c.message);
        EXPECT_FALSE(check.request.has_value()) << c.name;
        EXPECT_EQ(check.error.rfind(c.startOfError, 0), 0u) << c.name << ": " << check.error;
    }
}

TEST(FetchRequest, ASmallFrameIsReadWithItsOptionsAndDefaults) {
    json m = fetchMessage({15.56456, 51.26013, 15.57373, 51.26409}, {"dzialki", "gesut", "teren"});
    m["terrainStep"] = 5;
    m["poziomiceWygladz"] = true;
    const FetchRequestCheck check = readFetchRequest(m);
    ASSERT_TRUE(check.request.has_value()) << check.error;
    const FetchRequest& r = *check.request;
    EXPECT_EQ(r.layers, (std::vector<std::string>{"dzialki", "gesut", "teren"}));
    EXPECT_EQ(r.terrainStep, 5);
    EXPECT_TRUE(r.smoothContours);
    EXPECT_EQ(r.workingZone, 2176);  // the zone of 15 degrees east
    // The PL-1992 box of the demo frame: about 640 x 440 m around E 260720, N 382860.
    EXPECT_NEAR((r.frame.minX + r.frame.maxX) / 2, 260720, 15);
    EXPECT_NEAR((r.frame.minY + r.frame.maxY) / 2, 382860, 15);
    EXPECT_NEAR(r.frame.maxX - r.frame.minX, 640, 20);
    EXPECT_TRUE(readFetchRequest(fetchMessage({19.0, 52.0, 19.07, 52.04})).request.has_value()) << "under the cap";
}

geo::Polygon ring(std::vector<geo::Point2d> pts) {
    pts.push_back(pts.front());
    return {pts, {}};
}

// The centroid of the L lies in the notch, outside the parcel: the point
// must be inside. A feature with a point keeps it; a degenerate ring gets none.
TEST(LabelPoint, OnlyFeaturesWithoutAPointGetOneInsideThemselvesAndDegenerateRingsNone) {
    std::vector<geo::GisFeature> f(3);
    f[0].polygons = {ring({{0, 0}, {10, 0}, {10, 1}, {1, 1}, {1, 10}, {0, 10}})};
    f[1].polygons = f[0].polygons;
    f[1].point = {100, 100};
    f[1].hasPoint = true;
    f[2].polygons = {ring({{0, 0}, {1, 1}, {2, 2}})};
    addMissingLabelPoints(f);
    ASSERT_TRUE(f[0].hasPoint);
    const geo::Point2d p = f[0].point;
    EXPECT_TRUE((p.x > 0 && p.x < 1 && p.y > 0 && p.y < 10) || (p.y > 0 && p.y < 1 && p.x > 0 && p.x < 10))
        << p.x << " " << p.y;
    EXPECT_EQ(f[1].point, (geo::Point2d{100, 100}));
    EXPECT_FALSE(f[2].hasPoint);
}

}  // namespace
}  // namespace kl::import

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
