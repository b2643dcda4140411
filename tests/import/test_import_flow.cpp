// The two-step import against the local geoportal and a workbench project:
// refusals, cancelling, the stored result, the origin and its height, a
// placement that fails half way; and the address search as the map page sees
// it, answered later from a worker, never freezing the window.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <string>
#include <vector>

#include "base/worker_registry.h"
#include "host/core/workbench.h"
#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/import/demo_environment.h"

namespace kl::testing {
namespace {

using nlohmann::json;

class ImportFlow : public ::testing::Test {
protected:
    ImportSession s;
};

TEST_F(ImportFlow, RefusalsStartNothingAndAnEmptyFetchOrAClosedPaletteLeavesNoResult) {
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Najpierw kliknij \"1. Pobierz elementy\".");
    EXPECT_EQ(s.ask({{"type", "cancel"}}).value("type", ""), "cancelled");
    // One refused frame stands for the rest: the request reader has them row by row.
    EXPECT_EQ(s.ask({{"type", "fetch"}, {"bboxWgs84", {15.5, 51.2, 15.6}}}).value("type", ""), "error");
    EXPECT_TRUE(s.received("progress").empty());
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"dzialki"})).is_null());
    EXPECT_TRUE(s.controller().busy());
    const json second = s.ask(ImportSession::demoFetch({"dzialki"}));
    EXPECT_EQ(second.value("msg", ""), "Trwa pobieranie danych - sprobuj za chwile");
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Najpierw kliknij \"1. Pobierz elementy\".");
    ASSERT_FALSE(s.waitFor("fetchDone").is_null());
    EXPECT_EQ(s.received("fetchDone").size(), 1u);
    EXPECT_FALSE(s.controller().busy());
    EXPECT_TRUE(s.controller().hasFetched());

    // An empty fetch replaces the stored result. Warsaw: the local boundary
    // service knows no commune there.
    s.clearReceived();
    ASSERT_TRUE(s.ask({{"type", "fetch"}, {"bboxWgs84", {21.00, 52.22, 21.01, 52.23}}, {"layers", {"dzialki"}}})
                    .is_null());
    const json done = s.waitFor("fetchDone");
    EXPECT_EQ(done["counts"], json::object());
    EXPECT_EQ(done.value("warning", ""), "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru.");
    EXPECT_FALSE(s.controller().hasFetched());
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Najpierw kliknij \"1. Pobierz elementy\".");

    // A closed palette drops the result of a fetch under way.
    s.clearReceived();
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"dzialki"})).is_null());
    s.closePalette();
    ASSERT_TRUE(s.settle());
    EXPECT_FALSE(s.controller().busy());
    EXPECT_FALSE(s.controller().hasFetched());
    EXPECT_TRUE(s.received("fetchDone").empty());
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

// A placement failing half way leaves the project as it was and the stored
// result ready; the host's undo and redo of the one that went in reach the page.
TEST_F(ImportFlow, AFailedPlacementLeavesTheProjectAsItWasAndUndoAndRedoReachThePage) {
    ASSERT_FALSE(s.fetch({"dzialki", "budynki"}).is_null());
    ASSERT_TRUE(s.setOriginAtDemoCentre());
    const std::string before = s.workbench().project().serialise();
    // The parcels' layer is created, then the buildings' layer cannot be.
    s.workbench().faults().arm({"CreateAttribute", 2, KL_ERR_GENERAL, false, 0});
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", ""), "Import nieudany (transakcja wycofana)");
    EXPECT_EQ(s.workbench().project().serialise(), before);
    s.workbench().faults().clear();
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
    ASSERT_FALSE(s.fetch({"dzialki"}).is_null());
    ASSERT_TRUE(s.workbench().undo());
    EXPECT_TRUE(s.received("placedState").empty());
}

// Only the latest origin's height is written and a placement waits for it.
// A host refusing the system's name keeps only the bare survey point; it must
// still read back in its PL-2000 zone, for placing and for the page's view.
TEST_F(ImportFlow, OnlyTheLatestOriginHeightIsWrittenAndEveryGeoreferenceLevelPlacesOnTheFrame) {
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    s.controller().setHeightSampler([open](geo::Point2d p, int) -> std::optional<double> {
        open.wait();
        return p.y > 5'685'000 ? 200.0 : 100.0;  // the northern origin lies higher
    });
    ASSERT_FALSE(s.fetch({"dzialki"}).is_null());
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
    const std::vector<std::vector<std::string>> refusedFields = {{}, {"geodeticDatum"}, {"crsName"}};
    for (const auto& fields : refusedFields) {
        s.workbench().faults().refuseGeoFields(fields);
        ASSERT_TRUE(s.setOriginAtDemoCentre());
        const json placed = s.ask({{"type", "place"}});
        EXPECT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
        EXPECT_FALSE(placed.contains("warning")) << placed.dump();
        const json init = s.ask({{"type", "getInit"}});
        EXPECT_NEAR(init.value("lat", 0.0), (f.south + f.north) / 2, 1e-6) << init.dump();
        EXPECT_NEAR(init.value("lon", 0.0), (f.west + f.east) / 2, 1e-6) << init.dump();
    }
    EXPECT_STREQ(s.workbench().project().geoLocation().crsName, "") << "the last origin went in at the minimum level";
}

TEST_F(ImportFlow, TheOriginStandsOnTheTerrainModelAndAnOriginWithoutHeightAnchorsOnTheLowestTerrain) {
    ASSERT_FALSE(s.fetch({"teren"}).is_null());
    EXPECT_EQ(s.ask({{"type", "place"}}).value("msg", "").rfind("Projekt nie ma georeferencji.", 0), 0u);
    // At quit the sheet still coming for a new origin stops with its worker
    // and no height is written.
    DemoServices::instance().freshCache();
    DemoServices::instance().addFault(geoportal::FaultKind::Slow, {}, 500,
                                      std::string(geoportal::demo::kElevationSheetPathPrefix));
    const tools::DemoFrame f = tools::demoFrame();
    ASSERT_EQ(s.ask({{"type", "setOrigin"}, {"lat", (f.south + f.north) / 2}, {"lon", (f.west + f.east) / 2}})
                  .value("type", ""),
              "originSet");
    EXPECT_EQ(WorkerRegistry::instance().shutdown().abandoned, 0u);
    WorkerRegistry::instance().reopen();
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.workbench().project().geoLocation().surveyElevation, 0.0);
    // On the site the survey point takes the height of the terrain model.
    ASSERT_TRUE(s.setOriginAtDemoCentre());
    const double onSite = s.workbench().project().geoLocation().surveyElevation;
    EXPECT_TRUE(onSite > 191.0 && onSite < 200.0) << onSite;

    // About 60 km north of the frame and far from any sheet the height stays
    // 0; the placement warns of the distance, then anchors the project's zero
    // on the lowest terrain point of the fetch.
    ASSERT_EQ(s.ask({{"type", "setOrigin"}, {"lat", 51.80}, {"lon", 15.57}}).value("type", ""), "originSet");
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.workbench().project().geoLocation().surveyElevation, 0.0);
    double lowest = 1e18;
    for (const auto& tile : s.controller().fetched().terrainTiles)
        for (const auto& p : tile.points) lowest = std::min(lowest, p.height);
    const json placed = s.ask({{"type", "place"}});
    ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
    EXPECT_EQ(placed.value("warning", "").rfind("Uwaga: pobrany obszar lezy 59 km od Survey Pointu projektu", 0), 0u);
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

// A cancelled fetch leaves the stored result as it was, down to the zone it
// is placed in; the project's location alone names no zone, so the fetch's does.
TEST_F(ImportFlow, ACancelledFetchInAnotherZoneLeavesTheStoredResultPlacedAsBefore) {
    const tools::DemoFrame f = tools::demoFrame();
    KlGeoLocation location{};
    location.latitude = (f.south + f.north) / 2;
    location.longitude = (f.west + f.east) / 2;
    location.hasLocation = 1;
    location.scaleFactor = 1;
    ASSERT_EQ(s.workbench().project().setGeoLocation(location), KL_NOERROR);
    const auto model = [&] {
        nlohmann::ordered_json j = s.workbench().project().toJson();
        for (auto& e : j["elements"]) e.erase("guid");
        return j.dump();
    };
    ASSERT_FALSE(s.fetch({"dzialki"}).is_null());
    ASSERT_EQ(s.ask({{"type", "place"}}).value("type", ""), "placeDone");
    const std::string placed = model();
    ASSERT_TRUE(s.workbench().undo());
    // Warsaw lies two PL-2000 zones east of the demo site.
    ASSERT_TRUE(s.ask({{"type", "fetch"}, {"bboxWgs84", {21.00, 52.22, 21.01, 52.23}}, {"layers", {"dzialki"}}})
                    .is_null());
    EXPECT_TRUE(s.ask({{"type", "cancel"}}).is_null());
    ASSERT_FALSE(s.waitFor("cancelled").is_null());
    ASSERT_EQ(s.ask({{"type", "place"}}).value("type", ""), "placeDone");
    EXPECT_EQ(model(), placed);
}

class AddressSearch : public ::testing::Test {
protected:
    // The page's search or suggestion request and its later answer.
    json ask(const char* type, const std::string& query, const char* answer) {
        s.clearReceived();
        EXPECT_TRUE(s.ask({{"type", type}, {"query", query}}).is_null())
            << "a search must not hold the host's window while the geocoder answers";
        return s.waitFor(answer);
    }
    ImportSession s;
};

TEST_F(AddressSearch, OverlappingSuggestionsEachCarryTheirOwnQuery) {
    for (const char* query : {"Bol", "Bolesławiec, Rynek", "Grunw"})
        EXPECT_TRUE(s.ask({{"type", "searchAddressSuggest"}, {"query", query}}).is_null());
    ASSERT_TRUE(s.settle());
    std::map<std::string, std::size_t> itemsByQuery;
    for (const json& r : s.received("addressSuggestions")) itemsByQuery[r["query"]] = r["items"].size();
    EXPECT_EQ(itemsByQuery, (std::map<std::string, std::size_t>{{"Bol", 5}, {"Bolesławiec, Rynek", 2}, {"Grunw", 2}}));
}

// Statuses, bodies and blank queries are the geocoder client's own rows; here
// the page's side: nothing found gives results without a position, a failing
// search is named, a late suggestion gives an empty list (the answer would
// come after 5 s; the suggestion gives up at 4 s).
TEST_F(AddressSearch, NothingFoundAFailingSearchAndALateSuggestion) {
    EXPECT_EQ(ask("searchAddress", "Marszałkowska 1", "addressResults"),
              json({{"type", "addressResults"}, {"query", "Marszałkowska 1"}}));
    DemoServices::instance().addFault(geoportal::FaultKind::Status, "", 0, "/search");
    EXPECT_EQ(ask("searchAddress", "Rynek", "error").value("msg", ""),
              "Wyszukiwarka adresow nie odpowiada (Nominatim)");
    EXPECT_TRUE(s.received("addressResults").empty());

    DemoServices::instance().addFault(geoportal::FaultKind::Slow, "", 5000, "/api/");
    const json r = ask("searchAddressSuggest", "Rynek", "addressSuggestions");
    EXPECT_EQ(r.value("query", ""), "Rynek");
    EXPECT_EQ(r["items"], json::array());
}

}  // namespace
}  // namespace kl::testing
