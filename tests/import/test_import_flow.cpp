// The two-step import against the local geoportal and a workbench project:
// what the page sees, what the project holds, and how faults are survived.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>

#include "host/core/workbench.h"
#include "tests/import/demo_services.h"
#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/import/demo_environment.h"

namespace kl::testing {
namespace {

using nlohmann::json;
namespace demo = geoportal::demo;

constexpr int kUtilities = demo::kWaterPipes + demo::kGasPipes + demo::kPowerCables + demo::kSewerPipes;
// The zones of the demo commune's general plan that reach into the frame
// (GDAL counts 7 across the PL-1992 frame; the page's wider frame meets no more).
constexpr int kGeneralPlanZonesInFrame = 7;
const std::string kCommune(demo::kCommuneTeryt);

void addFault(geoportal::FaultKind kind, std::string contains, int delayMs = 3000, std::string pathPrefix = {},
              int times = -1) {
    DemoServices::instance().addFault(kind, std::move(contains), delayMs, std::move(pathPrefix), times);
}

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

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
    // Places the fetched result at the demo centre: what was placed is what was fetched.
    void placeAtDemoCentre(const json& fetched) {
        setOriginAtDemoCentre();
        const json placed = s.ask({{"type", "place"}});
        ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
        EXPECT_EQ(placed["counts"], fetched["counts"]);
    }
    void expectOneUndoEmptiesTheProject() {
        ASSERT_TRUE(s.workbench().undo());
        EXPECT_TRUE(s.workbench().project().elements().all().empty());
    }
    // Map images are drawn by the geoportal as they are asked for; a loaded
    // machine must not turn a slow drawing into a failed attempt.
    void waitForImages() {
        net::HttpTimings patient;
        patient.hostSpacingMs = 0;
        patient.defaultReceiveTimeoutMs = 60000;
        s.controller().setFetchTimings(patient);
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

TEST_F(ImportFlow, DemoSiteIsFetchedPreviewedAndPlacedInOneUndoStep) {
    const json done = fetchDone({"dzialki", "budynki", "gesut"});
    ASSERT_FALSE(done.is_null());
    EXPECT_EQ(done["counts"], (json{{"dzialki", demo::kParcels}, {"budynki", demo::kBuildings}, {"gesut", kUtilities}}));
    EXPECT_EQ(done["geojson"]["features"].size(), std::size_t(demo::kParcels + demo::kBuildings + kUtilities));
    EXPECT_FALSE(done.contains("warning")) << done["warning"];
    bool sawParcelTiles = false;
    for (const json& p : s.received("progress"))
        if (p["label"] == "Import: dzialki" && p.value("cancellable", false) && p["total"] == 2) sawParcelTiles = true;
    EXPECT_TRUE(sawParcelTiles);
    EXPECT_EQ(s.received("progress").front()["label"], "Pobieranie warstw");

    placeAtDemoCentre(done);
    auto layers = elementsByLayer();
    EXPECT_GE(layers["GIS_DZIALKI"][KL_ELEM_POLYLINE], demo::kParcels);
    EXPECT_EQ(layers["GIS_DZIALKI"][KL_ELEM_TEXT], demo::kParcels);  // every demo parcel carries its number
    EXPECT_GE(layers["GIS_BUDYNKI"][KL_ELEM_HATCH], demo::kBuildings);
    EXPECT_EQ(layers["GIS_GESUT"][KL_ELEM_POLYLINE], kUtilities);
    const auto& report = s.workbench().report();
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back().text.rfind("KARTOLINK: wektory w lokalnych wsp. X[", 0), 0u) << report.back().text;
    expectOneUndoEmptiesTheProject();
}

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
    // row); the two of the wrong type are refused before it is asked.
    const std::vector<json> bad = {
        {{"type", "fetch"}, {"bboxWgs84", {15.5, 51.2, 15.6}}},
        {{"type", "fetch"}, {"bboxWgs84", {15.56, 51.26, 15.57, 51.27}}, {"layers", "dzialki"}},
        {{"type", "fetch"}, {"bboxWgs84", {"15.56", "51.26", "15.57", "51.27"}}},
    };
    for (const json& m : bad) {
        const json r = s.ask(m);
        EXPECT_EQ(r.value("type", ""), "error") << m.dump();
        EXPECT_FALSE(r.value("msg", "").empty());
        EXPECT_FALSE(s.controller().busy());
    }
    EXPECT_TRUE(s.received("progress").empty());
    EXPECT_EQ(s.ask(bad[1]).value("msg", ""), "Pole \"layers\" musi byc lista tekstow.");
    EXPECT_EQ(s.ask(bad[2]).value("msg", ""), "Pole \"bboxWgs84\" musi byc lista liczb.");
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

TEST_F(ImportFlow, ParcelsAreFetchedWithTheCountyModels) {
    const json done = fetchDone({"dzialki", "budynki3d", "budynkilod2"});
    EXPECT_EQ(done["counts"],
              (json{{"dzialki", demo::kParcels}, {"budynki3d", demo::kBuildings}, {"budynkilod2", demo::kBuildings}}));
    EXPECT_EQ(done.value("warning", ""), "");
}

TEST_F(ImportFlow, BlocksFromTheSurfaceModelStandOnTheFootprintsWhichStandAsNothing) {
    const json done = fetchDone({"budynkindsm"});
    EXPECT_EQ(done["counts"], (json{{"budynkindsm", demo::kBuildings}})) << done.dump();
    EXPECT_NE(done.value("warning", "").find("Budynki nMPT: 166 bryl z 166 obrysow LOD1"), std::string::npos);
    setOriginAtDemoCentre();
    const json placed = s.ask({{"type", "place"}});
    ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
    EXPECT_EQ(placed["counts"], (json{{"budynkindsm", demo::kBuildings}}));
    for (const auto& [seq, rec] : s.workbench().project().elements().all())
        EXPECT_EQ(rec->element.type, KL_ELEM_MORPH);
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

TEST_F(ImportFlow, CutLidarTilesRebuildNothingAndSaySo) {
    addFault(geoportal::FaultKind::Truncate, "", 0, "/NumDaneWys/DanePomiaroweLAZ/");
    const json done = fetchDone({"budynkirekon"});
    EXPECT_FALSE(done["counts"].contains("budynkirekon")) << done.dump();
    const std::string warning = done.value("warning", "");
    EXPECT_EQ(occurrences(warning, "Rekonstrukcja LOD2: kafel "), 11) << warning;  // every tile of the zone
    EXPECT_NE(warning.find("Rekonstrukcja LOD2: nie wczytano zadnego kafla LiDAR - budynkow nie odtworzono."),
              std::string::npos) << warning;
}

TEST_F(ImportFlow, MapImagesArriveAsPicturesUnderTheVectorsAndOneUndoRemovesAll) {
    waitForImages();
    const json done = fetchDone({"dzialki", "rastr", "bdot500", "mpzp"});
    EXPECT_EQ(done["counts"],
              (json{{"dzialki", demo::kParcels}, {"rastry (rastr)", 1}, {"bdot500 (rastr)", 1}, {"mpzp (rastr)", 1}}));
    EXPECT_EQ(done.value("warning", ""),
              "MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla " + std::string(demo::kCommuneTeryt) + ".");
    int reportLines = 0;
    for (const auto& line : s.workbench().report()) reportLines += line.text.rfind("KARTOLINK: rastr ", 0) == 0;
    EXPECT_EQ(reportLines, 3);
    placeAtDemoCentre(done);
    // Creation order is drawing order: every picture before the first outline.
    bool vectorSeen = false;
    int pictures = 0;
    for (const auto& [seq, rec] : s.workbench().project().elements().all()) {
        if (rec->element.type != KL_ELEM_PICTURE) {
            vectorSeen = true;
            continue;
        }
        EXPECT_FALSE(vectorSeen);
        EXPECT_STREQ(rec->element.picMimeType, "image/png");
        ++pictures;
    }
    EXPECT_EQ(pictures, 3);
    expectOneUndoEmptiesTheProject();
}

TEST_F(ImportFlow, GeneralPlanZonesArriveDrawnAndOneUndoRemovesThem) {
    const json done = fetchDone({"dzialki", "pog"});
    EXPECT_EQ(done["counts"], (json{{"dzialki", demo::kParcels}, {"pog", kGeneralPlanZonesInFrame}}));
    EXPECT_EQ(done.value("warning", ""), "");
    placeAtDemoCentre(done);
    EXPECT_FALSE(elementsByLayer()["GIS_POG"].empty());
    expectOneUndoEmptiesTheProject();
}

struct RegisterFault {
    const char* name;
    std::string path;  // spoiled path prefix
    geoportal::FaultKind kind;
    std::string warning;
};

void PrintTo(const RegisterFault& f, std::ostream* os) { *os << f.name; }

class BrokenRegister : public ImportFlow, public ::testing::WithParamInterface<RegisterFault> {};

TEST_P(BrokenRegister, TheParcelsArriveAndNoPlanIsHalfTaken) {
    const RegisterFault& f = GetParam();
    addFault(f.kind, "", 3000, f.path);
    const json done = fetchDone({"dzialki", "pog"});
    EXPECT_EQ(done["counts"], (json{{"dzialki", demo::kParcels}}));
    EXPECT_EQ(done.value("warning", ""), f.warning);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenRegister,
    ::testing::Values(
        RegisterFault{"QueryFails", "/api/public/published/query", geoportal::FaultKind::Status,
                      "POG gminy " + kCommune +
                          ": Rejestr Urbanistyczny nie odpowiada (Serwer zwrocil status 500) - strefy pominiete."},
        RegisterFault{"QueryWithoutActs", "/api/public/published/query", geoportal::FaultKind::Exception,
                      "POG gminy " + kCommune + ": Rejestr Urbanistyczny nie odpowiada (odpowiedz bez listy aktow) - "
                      "strefy pominiete."},
        RegisterFault{"DownloadIsAPage", "/api/public/published/5001/", geoportal::FaultKind::Html,
                      "POG gminy " + kCommune + ": nie udalo sie pobrac stref aktu '5001' (Serwer zwrocil strone "
                      "HTML zamiast danych.) - strefy pominiete."},
        RegisterFault{"DownloadCut", "/api/public/published/5001/", geoportal::FaultKind::Truncate,
                      "POG gminy " + kCommune + ": nie udalo sie pobrac stref aktu '5001' (Pobieranie przerwane (68,3 KB z "
                      "136,7 KB).) - strefy pominiete."}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// The demo's own registry files, replaced for one test and put back after.
class UserRegistry {
public:
    UserRegistry(std::map<std::string, std::string> files) {
        for (const auto& [name, text] : files) std::ofstream(dir() / name, std::ios::binary | std::ios::trunc) << text;
    }
    ~UserRegistry() {
        DemoServices& d = DemoServices::instance();
        EXPECT_EQ(tools::pointServicesAt(d.baseUrl(), dir()), "");
    }
    static std::filesystem::path dir() { return DemoServices::instance().root() / "registry"; }
};

TEST_F(ImportFlow, UnitsWithoutAServiceOfTheirOwnFallBackToTheNationalIntegrations) {
    waitForImages();
    // No row for the demo county in two registries, and a user copy of the
    // commune registry with a bad key: the built-in one, which has no plan
    // service for the commune, is used instead.
    UserRegistry registry({{"gesut.tsv", "0202\t\t\n"}, {"bdot500.tsv", "0202\t\t\n"}, {"mpzp.tsv", "# x\n02010X\t\t\n"}});
    DemoServices::instance().server().log().clear();
    const json done = fetchDone({"gesut", "bdot500", "mpzp"});
    EXPECT_EQ(done["counts"], (json{{"gesut (rastr)", 1}, {"bdot500 (rastr)", 1}, {"mpzp (rastr)", 1}}));
    const std::string plans = "KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego";
    EXPECT_EQ(done.value("warning", ""),
              "Plik rejestru uslug " + (UserRegistry::dir() / "mpzp.tsv").string() +
                  " jest uszkodzony (wiersz 2: nieprawidlowy kod TERYT) - uzyto rejestru wbudowanego w dodatek. "
                  "Brak MPZP dla gminy " + kCommune + ": brak uslugi WMS w EZiU - uzyto krajowej uslugi " + plans +
                  ". MPZP: pobrano rysunek planu (rastr) z krajowej uslugi " + plans + " dla " + kCommune +
                  ". GESUT: powiat nie publikuje uslugi w EZiU - uzyto krajowej uslugi "
                  "KrajowaIntegracjaUzbrojeniaTerenu. GESUT jako rastr (WMS krajowy) - brak WFS lub brak przewodow "
                  "w WFS. BDOT500: powiat nie publikuje uslugi w EZiU - uzyto krajowej uslugi "
                  "KrajowaIntegracjaBazDanychObiektowTopograficznych.");
    std::map<std::string, int> getMaps;
    for (const auto& e : DemoServices::instance().server().log().snapshot())
        for (const auto& [k, v] : e.params)
            if (k == "request" && v == "GetMap") ++getMaps[e.path];
    EXPECT_EQ(getMaps, (std::map<std::string, int>{{"/cgi-bin/KrajowaIntegracjaBazDanychObiektowTopograficznych", 1},
                                                   {"/cgi-bin/KrajowaIntegracjaUzbrojeniaTerenu", 1},
                                                   {"/wss/ext/" + plans, 1}}));
}

TEST_F(ImportFlow, AnOrthophotoWithATileMissingSaysSo) {
    waitForImages();
    // About 1.5 x 0.45 km: two tiles side by side, each tried at three widths.
    const tools::DemoFrame f = tools::demoFrame();
    const double lon = (f.west + f.east) / 2, lat = (f.south + f.north) / 2;
    addFault(geoportal::FaultKind::Exception, "/ORTO/", 3000, {}, 3);
    ASSERT_TRUE(s.ask({{"type", "fetch"},
                       {"bboxWgs84", {lon - 0.011, lat - 0.002, lon + 0.011, lat + 0.002}},
                       {"layers", {"rastr"}}})
                    .is_null());
    const json done = s.waitFor("fetchDone");
    EXPECT_EQ(done["counts"], (json{{"rastry (rastr)", 1}}));
    EXPECT_EQ(done.value("warning", ""), "Rastr rastry: pobrano 1 z 2 platek - brakujace fragmenty pominieto.");
}

TEST_F(ImportFlow, UtilitiesComeAsAMapImageWhenTheirFeatureServiceFails) {
    waitForImages();
    addFault(geoportal::FaultKind::Status, "service=WFS", 0, "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/");
    const json done = fetchDone({"gesut"});
    EXPECT_EQ(done["counts"], (json{{"gesut (rastr)", 1}}));
    EXPECT_EQ(done.value("warning", ""), "GESUT: usluga WFS powiatu nie odpowiada (Serwer zwrocil status 500) - "
                                         "przewodow nie pobrano. GESUT jako rastr (WMS powiatowy) - brak WFS lub brak "
                                         "przewodow w WFS.");
}

TEST_F(ImportFlow, AnOrthophotoServiceThatNeverDrawsIsNamedAndTheParcelsStillArrive) {
    addFault(geoportal::FaultKind::Exception, "/ORTO/");
    const json done = fetchDone({"dzialki", "rastr"});
    EXPECT_EQ(done["counts"], (json{{"dzialki", demo::kParcels}}));
    EXPECT_EQ(done.value("warning", ""), "Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}

struct ServiceFault {
    const char* name;
    geoportal::FaultKind kind;
    const char* layer;                          // the failing type name
    std::map<std::string, int> expectedCounts;  // what still arrives
};

class FailingCountyService : public ImportFlow, public ::testing::WithParamInterface<ServiceFault> {};

TEST_P(FailingCountyService, OtherLayersArriveAndOneWarningNamesTheFailedLayer) {
    const ServiceFault& f = GetParam();
    addFault(f.kind, std::string(f.layer).substr(3));
    const json done = fetchDone({"dzialki", "budynki", "gesut"});
    ASSERT_FALSE(done.is_null());
    for (const auto& [key, count] : f.expectedCounts) EXPECT_EQ(done["counts"].value(key, -1), count) << key;
    const std::string w = done.value("warning", "");
    EXPECT_EQ(occurrences(w, std::string(f.layer) + ":"), 1) << w;
    EXPECT_FALSE(s.controller().busy());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailingCountyService,
    ::testing::Values(
        ServiceFault{"Status500", geoportal::FaultKind::Status, "ms:dzialki",
                     {{"budynki", demo::kBuildings}, {"gesut", kUtilities}}},
        ServiceFault{"TimeOut", geoportal::FaultKind::Slow, "ms:przewod_gazowy",
                     {{"dzialki", demo::kParcels},
                      {"budynki", demo::kBuildings},
                      {"gesut", kUtilities - demo::kGasPipes}}},
        ServiceFault{"BrokenGml", geoportal::FaultKind::Truncate, "ms:przewod_wodociagowy",
                     {{"dzialki", demo::kParcels},
                      {"budynki", demo::kBuildings},
                      {"gesut", kUtilities - demo::kWaterPipes}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

const std::string kCadastre = "/wss/ext/PowiatoweBazyEwidencjiGruntow/";
const std::string kUtilityNetwork = "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/";
const std::string kBoundaries = "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries";
const std::string kNewBuildings = "/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki";
const std::string kCapabilities = "request=GetCapabilities";

struct ServiceBreakdown {
    const char* name;
    std::vector<std::string> services;  // paths of the services
    std::string requests;  // text of the spoiled requests
    geoportal::FaultKind kind;
    int times;  // spoiled answers; -1 every one
    std::map<std::string, int> expectedCounts;
    std::string warning;  // the whole warning
};

void PrintTo(const ServiceBreakdown& b, std::ostream* os) { *os << b.name; }

class BrokenService : public ImportFlow, public ::testing::WithParamInterface<ServiceBreakdown> {};

TEST_P(BrokenService, OneBadAnswerCostsNothingALastingOneIsNamed) {
    const ServiceBreakdown& f = GetParam();
    for (const std::string& service : f.services) addFault(f.kind, f.requests, 3000, service, f.times);
    const json done = fetchDone({"dzialki", "budynki", "gesut"});
    ASSERT_FALSE(done.is_null());
    EXPECT_EQ(done["counts"], json(f.expectedCounts));
    EXPECT_EQ(done.value("warning", ""), f.warning);
}

const std::map<std::string, int> kEverything = {
    {"dzialki", demo::kParcels}, {"budynki", demo::kBuildings}, {"gesut", kUtilities}};
const std::map<std::string, int> kCadastreOnly = {{"dzialki", demo::kParcels}, {"budynki", demo::kBuildings}};

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenService,
    ::testing::Values(
        ServiceBreakdown{"CadastreExceptionOnce", {kCadastre}, kCapabilities, geoportal::FaultKind::Exception, 1,
                         kEverything, ""},
        ServiceBreakdown{"UtilitiesHtmlOnce", {kUtilityNetwork}, kCapabilities, geoportal::FaultKind::Html, 1,
                         kEverything, ""},
        ServiceBreakdown{"UtilitiesExceptionAlways", {kUtilityNetwork}, kCapabilities, geoportal::FaultKind::Exception,
                         -1, kCadastreOnly,
                         "GESUT: usluga WFS powiatu nie odpowiada (Serwer zwrocil raport bledu OGC zamiast danych.) "
                         "- przewodow nie pobrano. GESUT: powiatowa usluga nie odpowiada."},
        ServiceBreakdown{"UtilitiesCutAlways", {kUtilityNetwork}, kCapabilities, geoportal::FaultKind::Truncate, -1,
                         kCadastreOnly,
                         "GESUT: usluga WFS powiatu nie odpowiada (Pobieranie przerwane (2,0 KB z 3,9 KB).) - "
                         "przewodow nie pobrano. GESUT: powiatowa usluga nie odpowiada."},
        ServiceBreakdown{"CadastreHtmlAlways", {kCadastre}, kCapabilities, geoportal::FaultKind::Html, -1,
                         {{"budynki", demo::kNewBuildings}, {"gesut", kUtilities}},
                         "Powiatowa usluga WFS EGiB nie odpowiada (Serwer zwrocil strone HTML zamiast danych.) - "
                         "dzialek i budynkow nie pobrano. Brak dzialek dla tego obszaru. Budynki z BDOT10k "
                         "NoweBudynki (fallback - tylko nowe obiekty)."},
        ServiceBreakdown{"CadastreAndNewBuildingsDown", {kCadastre, kNewBuildings}, "", geoportal::FaultKind::Status,
                         -1, {{"gesut", kUtilities}},
                         "Powiatowa usluga WFS EGiB nie odpowiada (Serwer zwrocil status 500) - dzialek i budynkow nie "
                         "pobrano. Brak dzialek dla tego obszaru. Usluga WFS ms:bud_2025: 2 z 2 kafli bez odpowiedzi "
                         "(Serwer zwrocil status 500)."},
        ServiceBreakdown{"BoundariesDown", {kBoundaries}, "", geoportal::FaultKind::Status, -1,
                         {{"budynki", demo::kNewBuildings}},
                         "Usluga granic administracyjnych (PRG) nie odpowiada (Serwer zwrocil status 500). Nie udalo "
                         "sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru. Budynki z BDOT10k NoweBudynki "
                         "(fallback - tylko nowe obiekty). GESUT pominiety: nie udalo sie ustalic powiatu dla "
                         "widoku."}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ImportFlow, CancelStopsTheWorkerAtTheNextTileAndKeepsNothing) {
    addFault(geoportal::FaultKind::Slow, "przewod_", 400);
    DemoServices::instance().server().log().clear();
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"gesut"})).is_null());
    json first;
    // Each utility layer's progress names the layer.
    const auto gesut = [](const json& p) { return p.value("label", "").rfind("GESUT (WFS) 1/", 0) == 0; };
    while (!gesut(first = s.waitFor("progress", std::chrono::seconds(20)))) {
        ASSERT_FALSE(first.is_null());
        s.clearReceived();
    }
    EXPECT_NE(first["label"].get<std::string>().find(": "), std::string::npos) << first;
    EXPECT_TRUE(s.ask({{"type", "cancel"}}).is_null());  // answered once the worker stopped
    EXPECT_TRUE(s.controller().busy());
    ASSERT_FALSE(s.waitFor("cancelled", std::chrono::seconds(20)).is_null());
    ASSERT_TRUE(s.settle());
    EXPECT_FALSE(s.controller().busy());
    EXPECT_FALSE(s.controller().hasFetched());
    EXPECT_TRUE(s.received("fetchDone").empty());
    // Four layers of two tiles each would take eight slow answers and more.
    EXPECT_LE(DemoServices::instance().server().log().snapshot().size(), std::size_t(40));
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
