// The elevation model indexes and sheets of the local geoportal: the yearly
// layers, the sheet files as served, and their agreement with the LiDAR
// tiles the same server makes (ground points on the terrain model, the
// highest returns on the surface model).
#include "tools/geoportal/geoportal_server.h"

#include "cloud/las/las_reader.h"
#include "tests/geoportal/local_geoportal.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/lidar_sheets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

namespace kl::geoportal {
namespace {

using testing::allBetween;
using testing::countOf;
using testing::rawGet;

const std::string kFrameBox = "382640%2C260400%2C383080%2C261040%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180";

class GeoportalElevationTest : public testing::LocalGeoportal {
protected:
    static void SetUpTestSuite() {
        ServiceConfig config;
        config.lidarDensity = 2.0;
        start("geoportal_elevation_test_cache", config);
    }
    static std::string indexQuery(ElevationModelKind model, int year) {
        const std::string code(elevationModelCode(model));
        return std::string(model == ElevationModelKind::Terrain ? demo::kNmtIndexPath : demo::kNmptIndexPath) +
               "?service=WFS&version=2.0.0&request=GetFeature&typenames=gugik%3ASkorowidz" + code +
               std::to_string(year) + "&BBOX=" + kFrameBox;
    }
};

TEST_F(GeoportalElevationTest, EachModelHasOneYearOfSheetsAndOneYearIsMissing) {
    struct Case {
        ElevationModelKind model;
        int year;
        int status;
        int members;
    };
    const auto nmt = ElevationModelKind::Terrain, nmpt = ElevationModelKind::Surface;
    const Case rows[] = {{nmt, 2027, 200, 0},  {nmt, demo::kElevationMissingYear, 400, 0}, {nmt, 2025, 200, 2},
                         {nmt, 2024, 200, 0},  {nmpt, 2027, 200, 0}, {nmpt, demo::kElevationMissingYear, 400, 0},
                         {nmpt, 2025, 200, 0}, {nmpt, 2024, 200, 2}, {nmpt, 2018, 200, 0}};
    for (const Case& c : rows) {
        const auto r = get(indexQuery(c.model, c.year));
        EXPECT_EQ(r.status, c.status) << elevationModelCode(c.model) << c.year;
        if (c.status == 200) {
            EXPECT_EQ(countOf(r.body, "<wfs:member>"), c.members) << elevationModelCode(c.model) << c.year;
        }
    }
}

TEST_F(GeoportalElevationTest, IndexedSheetsAreServedInTheRealForm) {
    for (const auto model : {ElevationModelKind::Terrain, ElevationModelKind::Surface}) {
        const int year = model == ElevationModelKind::Terrain ? demo::kNmtYear : demo::kNmptYear;
        const std::string body = get(indexQuery(model, year)).body;
        const auto urls = allBetween(body, "<gugik:url_do_pobrania>", "</gugik:url_do_pobrania>");
        const auto& sheets = elevationSheets();
        ASSERT_EQ(urls.size(), sheets.size());
        for (std::size_t i = 0; i < urls.size(); ++i) {
            const std::string path = urls[i].substr(urls[i].find('/', urls[i].find("://") + 3));
            const auto r = get(path);
            ASSERT_EQ(r.status, 200) << path;
            EXPECT_EQ(r.body, elevationSheetText(model, sheets[i])) << path;
            EXPECT_EQ(countOf(r.body.substr(0, 200), "\r\n"), 6) << path;
            EXPECT_EQ(r.body.find(sheets[i].centreHeader ? "xllcenter" : "xllcorner") < 100, true) << path;
        }
    }
    EXPECT_EQ(get(std::string(demo::kElevationSheetPathPrefix) + "NMT/asc/1_X.asc").status, 404);
}

TEST_F(GeoportalElevationTest, LidarGroundPointsLieOnTheTerrainModelAndTheHighestReturnsOnTheSurfaceModel) {
    // The south-west LiDAR sheet (E 260250-260500, N 382500-382750), where
    // it meets the western elevation sheets.
    const LidarSheet sheet = lidarSheets(demo::kLidarSheetMetres).front();
    const auto r = get(lidarTilePath({demo::kLidarSheetMetres, 2.0}, sheet));
    ASSERT_EQ(r.status, 200);
    las::LasReader reader;
    ASSERT_TRUE(reader.openMemory(reinterpret_cast<const uint8_t*>(r.body.data()), r.body.size(), "kafel"));
    const las::LasHeader h = reader.header();
    std::vector<uint8_t> records;
    ASSERT_TRUE(reader.readAll(&records));

    const Box& covered = elevationSheets().front().bounds;
    std::map<std::pair<double, double>, double> highest;
    std::size_t ground = 0, groundOff = 0;
    for (std::size_t at = 0; at + h.recordLength <= records.size(); at += h.recordLength) {
        const las::LasPointView p = las::viewPoint(records.data() + at, h.pointFormat);
        const Xy q{p.x * h.scale[0] + h.offset[0], p.y * h.scale[1] + h.offset[1]};
        const double z = p.z * h.scale[2] + h.offset[2];
        if (q.x < covered.minX + 31 || q.y < covered.minY + 1 || q.x >= covered.maxX - 1 || q.y >= covered.maxY - 1)
            continue;
        const auto cell = std::make_pair(std::floor(q.x), std::floor(q.y));
        highest[cell] = std::max(highest.count(cell) ? highest[cell] : -1e9, z);
        if (p.classification != 2) continue;
        ++ground;
        // The sheet states the ground at cell centres to the centimetre;
        // between them the slope is gentle.
        if (std::abs(z - demoElevation(ElevationModelKind::Terrain, q)) > 0.05) ++groundOff;
    }
    ASSERT_GT(ground, 1000u);
    EXPECT_EQ(groundOff, 0u);
    std::size_t surfaceOff = 0;
    for (const auto& [cell, z] : highest) {
        const double model = demoElevation(ElevationModelKind::Surface, {cell.first + 0.5, cell.second + 0.5});
        if (std::abs(z - model) > 1.0) ++surfaceOff;
    }
    // The tiles' densifying copies are shifted by under a metre, so along
    // the edges of roofs and crowns a cell's highest return may come from
    // its neighbour; elsewhere the surface model is that return (about 8 %
    // of the cells are such edges).
    EXPECT_LT(surfaceOff * 10, highest.size());
}

}  // namespace
}  // namespace kl::geoportal
