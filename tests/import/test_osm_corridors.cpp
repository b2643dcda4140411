// Bridges and roads of a fetch against the local geoportal: OpenStreetMap
// centrelines covered with the demo's elevation models and placed as bodies,
// and what a failing Overpass or a missing surface model costs. The parcels
// fetched beside them must arrive whatever happens to the bridges and roads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "host/core/workbench.h"
#include "base/folders.h"
#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/demo_river.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/import/demo_environment.h"

namespace kl::testing {
namespace {

using nlohmann::json;
namespace demo = geoportal::demo;

// The demo's Overpass: nine streets, one of them split around its bridge,
// one way of a single node; "service" is not among the classes asked.
constexpr int kRoads = 9;
constexpr int kBridges = 1;

struct CorridorFault {
    const char* name;
    const char* path;  // spoiled path prefix; "" for none
    geoportal::FaultKind kind;
    int status;
    int bridges;
    int roads;
    const char* warning;  // a part of the fetch warning
    std::vector<std::string> layers = {"dzialki", "mosty", "drogi"};
};

const CorridorFault kFaults[] = {
    {"Answer", "", geoportal::FaultKind::Status, 0, kBridges, kRoads,
     "Mosty/drogi (OSM): pominieto 1 linii bez geometrii (mniej niz 2 punkty). Mosty (OSM): 1 (z nMPT: 1, "
     "uproszczone do korekty: 0, bez danych wysokosci: 0). Drogi (OSM): 9 (na NMT: 9, uproszczone do korekty: 0, bez "
     "danych wysokosci: 0)."},
    // One failing answer stands for the rest: the Overpass client's own test has them row by row.
    {"GatewayTimeout", "/api/interpreter", geoportal::FaultKind::Status, 504, 0, 0,
     "OSM (Overpass): usluga nie odpowiada (status 504)."},
    // Only the bridges are asked: the query leaves the roads out.
    {"BridgesOnly", "", geoportal::FaultKind::Status, 0, kBridges, 0,
     "Mosty (OSM): 1 (z nMPT: 1, uproszczone do korekty: 0, bez danych wysokosci: 0).", {"dzialki", "mosty"}},
    {"NoSurfaceModel", "/wss/service/PZGIK/NumerycznyModelPokryciaTerenuEVRF2007", geoportal::FaultKind::Status, 404,
     0, 0, "Mosty/drogi: brak pokrycia nMPT lub NMT dla tego kadru."},
};

// Heights of an elevation model's cell centres around a point: a bilinear
// height lies between their lowest and highest.
std::pair<double, double> modelRange(geoportal::ElevationModelKind model, double x, double y) {
    double lo = INFINITY, hi = -INFINITY;
    for (const double dx : {-1.0, 0.0, 1.0})
        for (const double dy : {-1.0, 0.0, 1.0}) {
            const double z = geoportal::demoElevation(model, {x + dx, y + dy});
            lo = std::min(lo, z), hi = std::max(hi, z);
        }
    return {lo, hi};
}

// Every body made from its model (no stand-in), each vertex on that model and passing `also`.
template <class Also>
void expectBodiesOn(const std::vector<buildings::ReconstructionResult>& bodies, geoportal::ElevationModelKind model,
                    Also also) {
    for (const buildings::ReconstructionResult& body : bodies) {
        EXPECT_EQ(body.fallback, 0);
        ASSERT_FALSE(body.faces.empty());
        for (const buildings::Face& face : body.faces)
            for (const buildings::Point3d& p : face) {
                const auto [lo, hi] = modelRange(model, p.x, p.y);
                ASSERT_TRUE(p.z >= lo - 1e-9 && p.z <= hi + 1e-9 && also(p)) << p.x << " " << p.y << " " << p.z;
            }
    }
}

TEST(OsmCorridors, BodiesLieOnTheModelsOrTheFailureIsNamed) {
    for (const CorridorFault& f : kFaults) {
        SCOPED_TRACE(f.name);
        ImportSession s;
        if (*f.path != '\0') {
            geoportal::FaultRule rule;
            rule.fault.kind = f.kind;
            rule.fault.status = f.status;
            rule.pathPrefix = f.path;
            rule.remaining = -1;
            DemoServices::instance().server().faults().add(rule);
        }
        ASSERT_TRUE(s.ask(ImportSession::demoFetch(f.layers)).is_null());
        const json done = s.waitFor("fetchDone");
        ASSERT_FALSE(done.is_null());
        const std::string warning = done.value("warning", "");
        EXPECT_NE(warning.find(f.warning), std::string::npos) << warning;
        EXPECT_EQ(done["counts"].value("dzialki", 0), demo::kParcels);
        EXPECT_EQ(done["counts"].value("mosty", 0), f.bridges);
        EXPECT_EQ(done["counts"].value("drogi", 0), f.roads);

        const import::CorridorBodies& got = s.controller().fetched().corridors;
        // the page's frame, converted, reaches a little beyond the site's
        const auto inFrame = [](const buildings::Point3d& p) {
            return p.x >= demo::kMinEasting - 30 && p.x <= demo::kMaxEasting + 30;
        };
        expectBodiesOn(got.roads, geoportal::ElevationModelKind::Terrain, inFrame);
        // The bridge crosses the river: a real deck from the surface model, clear of the water.
        expectBodiesOn(got.bridges, geoportal::ElevationModelKind::Surface,
                       [](const buildings::Point3d& p) { return p.z > demo::kRiverLevel + 1.0; });
        for (const buildings::ReconstructionResult& bridge : got.bridges) EXPECT_GT(bridge.coverage, 0.35);
        if (f.bridges + f.roads == 0) continue;

        const tools::DemoFrame frame = tools::demoFrame();
        const json r = s.ask(
            {{"type", "setOrigin"}, {"lat", (frame.south + frame.north) / 2}, {"lon", (frame.west + frame.east) / 2}});
        ASSERT_EQ(r.value("type", ""), "originSet") << r.dump();
        ASSERT_TRUE(s.settle());
        const json placed = s.ask({{"type", "place"}});
        ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
        EXPECT_EQ(placed["counts"], done["counts"]);
        int lines = 0;
        for (const auto& line : s.workbench().report())
            lines += line.text == "KARTOLINK mosty: utworzono 1 (oznaczono do korekty: 0), pominieto 0" ||
                     line.text == "KARTOLINK drogi: utworzono 9 (oznaczono do korekty: 0), pominieto 0";
        EXPECT_EQ(lines, (f.bridges > 0) + (f.roads > 0));
        if (f.roads == 0) continue;
        // Both steps write the same diagnostic file; neither may wipe the other's lines.
        std::ifstream diag(platform::diagnosticDir() / "ordvik_ndsm_diag.txt");
        const std::string text((std::istreambuf_iterator<char>(diag)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text,
                  "mosty(fetch)=1, most=1, uproszczone=0, bez_danych=0\nKARTOLINK mosty: utworzono 1 (oznaczono do korekty: "
                  "0), pominieto 0\ndrogi(fetch)=9, droga=9, uproszczone=0, bez_danych=0\nKARTOLINK drogi: utworzono 9 "
                  "(oznaczono do korekty: 0), pominieto 0\n");
    }
}

}  // namespace
}  // namespace kl::testing
