// The two-step import against the local geoportal and a workbench project:
// refusals, cancelling, the stored result, the origin and its height, and a
// placement that fails half way. (The demo site fetched, previewed, placed
// and undone is the browser import test's; the services' faults are
// test_fetch_faults.cpp's.)
#include <gtest/gtest.h>

#include <future>
#include <map>

#include "host/core/workbench.h"
#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/import/demo_environment.h"

namespace kl::testing {
namespace {

using nlohmann::json;
namespace demo = geoportal::demo;

class ImportFlow : public ::testing::Test {
protected:
    json fetchDone(std::vector<std::string> layers) {
        EXPECT_TRUE(s.ask(ImportSession::demoFetch(std::move(layers))).is_null());
        return s.waitFor("fetchDone");
    }
    void setOriginAtDemoCentre() {
        const tools::DemoFrame f = tools::demoFrame();
        const json r = s.ask({{"type", "setOrigin"}, {"lat", (f.south + f.north) / 2}, {"lon", (f.west + f.east) / 2}});
        ASSERT_EQ(r.value("type", ""), "originSet") << r.dump();
        ASSERT_TRUE(s.settle());  // the terrain height under the origin is read
    }
    std::map<std::string, std::map<int32_t, int>> elementsByLayer() {
        std::map<int32_t, std::string> names;
        for (const auto& a : s.workbench().project().attributes().list(KL_ATTR_LAYER)) names[a.index] = a.name;
        std::map<std::string, std::map<int32_t, int>> out;
        for (const auto& [seq, rec] : s.workbench().project().elements().all())
            ++out[names[rec->element.layer]][rec->element.type];
        return out;
    }
    ImportSession s;
};

TEST_F(ImportFlow, SecondFetchWhileBusyIsRefusedAndNothingElseStarts) {
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"dzialki"})).is_null());
    EXPECT_TRUE(s.controller().busy());
    const json second = s.ask(ImportSession::demoFetch({"dzialki"}));
    EXPECT_EQ(second.value("msg", ""), "Trwa pobieranie danych - sprobuj za chwile");
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Najpierw kliknij \"1. Pobierz elementy\".");
    ASSERT_FALSE(s.waitFor("fetchDone").is_null());
    EXPECT_EQ(s.received("fetchDone").size(), 1u);
    EXPECT_FALSE(s.controller().busy());
}

TEST_F(ImportFlow, RefusedFramesAndOptionsStartNothingAndIdleCommandsAreHarmless) {
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Najpierw kliknij \"1. Pobierz elementy\".");
    EXPECT_EQ(s.ask({{"type", "cancel"}}).value("type", ""), "cancelled");
    // One refused frame stands for the rest (the request reader has them row by
    // row); the two of the wrong type are refused by the bridge before it is asked.
    for (const json& m : {json{{"type", "fetch"}, {"bboxWgs84", {15.5, 51.2, 15.6}}},
                          json{{"type", "fetch"}, {"bboxWgs84", {15.56, 51.26, 15.57, 51.27}}, {"layers", "dzialki"}},
                          json{{"type", "fetch"}, {"bboxWgs84", {"15.56", "51.26", "15.57", "51.27"}}}}) {
        const json r = s.ask(m);
        EXPECT_EQ(r.value("type", ""), "error") << m.dump();
        EXPECT_FALSE(r.value("msg", "").empty());
        EXPECT_FALSE(s.controller().busy());
    }
    EXPECT_TRUE(s.received("progress").empty());
}

TEST_F(ImportFlow, AnEmptyFetchReplacesTheStoredResult) {
    ASSERT_FALSE(fetchDone({"dzialki"}).is_null());
    EXPECT_TRUE(s.controller().hasFetched());
    s.clearReceived();
    // Warsaw: the local boundary service knows no commune there.
    ASSERT_TRUE(s.ask({{"type", "fetch"}, {"bboxWgs84", {21.00, 52.22, 21.01, 52.23}}, {"layers", {"dzialki"}}})
                    .is_null());
    const json done = s.waitFor("fetchDone");
    EXPECT_EQ(done["counts"], json::object());
    EXPECT_EQ(done.value("warning", ""), "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru.");
    EXPECT_FALSE(s.controller().hasFetched());
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Najpierw kliknij \"1. Pobierz elementy\".");
}

TEST_F(ImportFlow, BuildingsRebuiltFromTheCloudArriveAsMorphsWithoutTheirBlocks) {
    const json done = fetchDone({"budynkirekon"});
    EXPECT_EQ(done["counts"], (json{{"budynkirekon", demo::kBuildings}}));
    const std::string warning = done.value("warning", "");
    // The demo's PL-2000 sheet lies outside the project's zone.
    EXPECT_NE(warning.find("Rekonstrukcja LOD2: kafle LiDAR w obcej strefie (PL-2000), pominieto 1:"), std::string::npos)
        << warning;
    EXPECT_NE(warning.find("Rekonstrukcja LOD2: odtworzono " + std::to_string(demo::kBuildings) + " z "),
              std::string::npos) << warning;
    bool sawFitting = false;
    for (const json& p : s.received("progress")) sawFitting |= p["label"] == "Rekonstrukcja LOD2: dopasowanie";
    EXPECT_TRUE(sawFitting);

    setOriginAtDemoCentre();
    const json placed = s.ask({{"type", "place"}});
    ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
    EXPECT_EQ(placed["counts"], done["counts"]);  // the footprints are not placed as blocks
    auto layers = elementsByLayer();
    EXPECT_EQ(layers["GIS_BUDYNKI_LOD2_REKON"][KL_ELEM_MORPH], demo::kBuildings);
    int flagged = -1;
    for (const auto& line : s.workbench().report())
        if (line.text.rfind("KARTOLINK rekonstrukcja LOD2: utworzono ", 0) == 0)
            flagged = std::stoi(line.text.substr(line.text.find("(do korekty: ") + 13));
    EXPECT_GT(flagged, 0);  // the hipped roofs at least
    EXPECT_LT(flagged, demo::kBuildings / 2);
    bool reviewSurface = false;
    for (const auto& a : s.workbench().project().attributes().list(KL_ATTR_SURFACE))
        reviewSurface |= a.name == "GIS Budynek LOD2 rekon - POPRAW";
    EXPECT_TRUE(reviewSurface);
}

// Cancelled during each kind of download; each layer's progress names its layer.
TEST(ImportCancel, StopsTheWorkerAtTheNextDownloadAndKeepsNothing) {
    const struct {
        std::vector<std::string> layers;
        const char* slowPath;
        int delayMs;
        const char* label;       // the start of the progress of those downloads
        std::size_t maxRequests;  // 0: not counted
    } cases[] = {
        // Four layers of two tiles each would take eight slow answers and more.
        {{"gesut"}, "przewod_", 400, "GESUT (WFS) 1/", 40},
        {{"teren"}, ".asc", 1500, "Pobieranie NMT", 0},
        {{"terenchmura", "wodachmura"}, ".laz", 1500, "Teren z chmury: LiDAR", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ImportSession s;
        DemoServices::instance().addFault(geoportal::FaultKind::Slow, c.slowPath, c.delayMs);
        DemoServices::instance().server().log().clear();
        ASSERT_TRUE(s.ask(ImportSession::demoFetch(c.layers)).is_null());
        json p;
        // A step of a single part (an index) may carry the same label.
        while ((p = s.waitFor("progress", std::chrono::seconds(20))).value("label", "").rfind(c.label, 0) != 0 ||
               p.value("total", 0) == 1) {
            ASSERT_FALSE(p.is_null());
            s.clearReceived();
        }
        EXPECT_TRUE(s.ask({{"type", "cancel"}}).is_null());  // answered once the worker stopped
        EXPECT_TRUE(s.controller().busy());
        ASSERT_FALSE(s.waitFor("cancelled", std::chrono::seconds(20)).is_null());
        ASSERT_TRUE(s.settle());
        EXPECT_FALSE(s.controller().busy());
        EXPECT_FALSE(s.controller().hasFetched());
        EXPECT_TRUE(s.received("fetchDone").empty());
        if (c.maxRequests) {
            EXPECT_LE(DemoServices::instance().server().log().snapshot().size(), c.maxRequests);
        }
    }
}

TEST_F(ImportFlow, AClosedPaletteDropsTheResult) {
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"dzialki"})).is_null());
    s.closePalette();
    ASSERT_TRUE(s.settle());
    EXPECT_FALSE(s.controller().busy());
    EXPECT_FALSE(s.controller().hasFetched());
    EXPECT_TRUE(s.received("fetchDone").empty());
}

TEST_F(ImportFlow, APlacementFailingHalfWayLeavesTheProjectAsItWas) {
    ASSERT_FALSE(fetchDone({"dzialki", "budynki"}).is_null());
    setOriginAtDemoCentre();
    const std::string before = s.workbench().project().serialise();
    // The parcels' layer is created, then the buildings' layer cannot be.
    s.workbench().faults().arm({"CreateAttribute", 2, KL_ERR_GENERAL, false, 0});
    const json r = s.ask({{"type", "place"}});
    EXPECT_EQ(r.value("msg", ""), "Import nieudany (transakcja wycofana)");
    EXPECT_EQ(s.workbench().project().serialise(), before);
    s.workbench().faults().clear();
    EXPECT_EQ(s.ask({{"type", "place"}}).value("type", ""), "placeDone");  // the stored result is still there
}

TEST_F(ImportFlow, TheHostsUndoAndRedoOfThePlacementReachThePage) {
    ASSERT_FALSE(fetchDone({"dzialki"}).is_null());
    setOriginAtDemoCentre();
    ASSERT_EQ(s.ask({{"type", "place"}}).value("type", ""), "placeDone");
    const auto placedSaid = [&] {
        const auto said = s.received("placedState");
        return said.empty() ? json() : said.back()["placed"];
    };
    ASSERT_TRUE(s.workbench().undo());
    EXPECT_EQ(placedSaid(), false);
    EXPECT_FALSE(s.controller().placedInProject());
    ASSERT_TRUE(s.workbench().redo());
    EXPECT_EQ(placedSaid(), true);
    EXPECT_TRUE(s.controller().placedInProject());
    // A new result is not placed, whatever the history does.
    s.clearReceived();
    ASSERT_FALSE(fetchDone({"dzialki"}).is_null());
    ASSERT_TRUE(s.workbench().undo());
    EXPECT_TRUE(s.received("placedState").empty());
}

TEST_F(ImportFlow, DistanceChecksBeforePlacing) {
    ASSERT_FALSE(fetchDone({"dzialki"}).is_null());
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", "").rfind("Projekt nie ma georeferencji.", 0), 0u);
    // Exact survey point about 60 km north of the frame: placed, with the warning.
    const json far = s.ask({{"type", "setOrigin"}, {"lat", 51.80}, {"lon", 15.57}});
    ASSERT_EQ(far.value("type", ""), "originSet");
    ASSERT_TRUE(s.settle());
    const json placed = s.ask({{"type", "place"}});
    ASSERT_EQ(placed.value("type", ""), "placeDone");
    EXPECT_EQ(placed.value("warning", "").rfind("Uwaga: pobrany obszar lezy 59 km od Survey Pointu projektu", 0), 0u)
        << placed.dump();
}

// A host refusing the system's name keeps only the bare survey point; it must
// still read back in its PL-2000 zone, for placing and for the page's view.
TEST_F(ImportFlow, EveryGeoreferenceFallbackLevelPlacesOnTheFrame) {
    ASSERT_FALSE(fetchDone({"dzialki"}).is_null());
    const tools::DemoFrame f = tools::demoFrame();
    const std::vector<std::vector<std::string>> refusedFields = {{}, {"geodeticDatum"}, {"crsName"}};
    for (const auto& fields : refusedFields) {
        s.workbench().faults().refuseGeoFields(fields);
        setOriginAtDemoCentre();
        const json placed = s.ask({{"type", "place"}});
        EXPECT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
        EXPECT_FALSE(placed.contains("warning")) << placed.dump();
        const json init = s.ask({{"type", "getInit"}});
        EXPECT_NEAR(init.value("lat", 0.0), (f.south + f.north) / 2, 1e-6) << init.dump();
        EXPECT_NEAR(init.value("lon", 0.0), (f.west + f.east) / 2, 1e-6) << init.dump();
    }
    EXPECT_STREQ(s.workbench().project().geoLocation().crsName, "") << "the last origin went in at the minimum level";
}

TEST_F(ImportFlow, OnlyTheLatestOriginHeightIsWrittenAndPlaceWaitsForIt) {
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    s.controller().setHeightSampler([open](geo::Point2d p, int) -> std::optional<double> {
        open.wait();
        return p.y > 5'685'000 ? 200.0 : 100.0;  // the northern origin lies higher
    });
    ASSERT_FALSE(fetchDone({"dzialki"}).is_null());
    ASSERT_EQ(s.ask({{"type", "setOrigin"}, {"lat", 51.40}, {"lon", 15.57}}).value("type", ""), "originSet");
    const tools::DemoFrame f = tools::demoFrame();
    ASSERT_EQ(s.ask({{"type", "setOrigin"}, {"lat", (f.south + f.north) / 2}, {"lon", (f.west + f.east) / 2}})
                  .value("type", ""),
              "originSet");
    EXPECT_TRUE(s.controller().heightSamplePending());
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", "").rfind("Trwa odczyt wysokosci terenu", 0), 0u);
    gate.set_value();
    ASSERT_TRUE(s.settle());
    EXPECT_FALSE(s.controller().heightSamplePending());
    EXPECT_DOUBLE_EQ(s.workbench().project().geoLocation().surveyElevation, 100.0);
    const json placed = s.ask({{"type", "place"}});
    EXPECT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
}

TEST_F(ImportFlow, TheOriginStandsOnTheTerrainModelAndAnOriginWithoutHeightAnchorsOnTheLowestTerrain) {
    // On the site the survey point takes the height of the terrain model.
    setOriginAtDemoCentre();
    const double onSite = s.workbench().project().geoLocation().surveyElevation;
    EXPECT_TRUE(onSite > 191.0 && onSite < 200.0) << onSite;

    // Far from any sheet the height stays 0; the placement then anchors the
    // project's zero on the lowest terrain point of the fetch.
    ASSERT_FALSE(fetchDone({"teren"}).is_null());
    ASSERT_EQ(s.ask({{"type", "setOrigin"}, {"lat", 51.80}, {"lon", 15.57}}).value("type", ""), "originSet");
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.workbench().project().geoLocation().surveyElevation, 0.0);
    double lowest = 1e18;
    for (const auto& tile : s.controller().fetched().terrainTiles)
        for (const auto& p : tile.points) lowest = std::min(lowest, p.height);
    const json placed = s.ask({{"type", "place"}});
    ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
    EXPECT_NE(placed.value("warning", "").find("Rzedna projektu = najnizszy punkt terenu (" +
                                               std::to_string(static_cast<long long>(lowest)) +
                                               " m npm) = 0 projektu; zapisana w ustawieniach."),
              std::string::npos)
        << placed.dump();
    EXPECT_DOUBLE_EQ(s.workbench().project().geoLocation().surveyElevation, lowest);
    EXPECT_DOUBLE_EQ(s.controller().terrainZOffset(), lowest);
    EXPECT_DOUBLE_EQ(s.controller().currentSettings().zAnchor, lowest);
    // The next placement keeps that datum and says nothing more about it.
    const json again = s.ask({{"type", "place"}});
    EXPECT_EQ(again.value("warning", "").find("Rzedna projektu"), std::string::npos) << again.dump();
    EXPECT_DOUBLE_EQ(s.controller().terrainZOffset(), lowest);
}

}  // namespace
}  // namespace kl::testing
