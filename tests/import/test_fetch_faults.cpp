// What a fetch against the local geoportal brings when its services answer,
// and when one of them breaks: the layers that still arrive and the one
// warning that names what was lost. The numbers of zones come from GDAL.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/import/demo_environment.h"

namespace kl::testing {
namespace {

using nlohmann::json;
namespace demo = geoportal::demo;
using Kind = geoportal::FaultKind;

constexpr int kUtilities = demo::kWaterPipes + demo::kGasPipes + demo::kPowerCables + demo::kSewerPipes;
// The zones of the demo commune's general plan that reach into the frame
// (GDAL counts 7 across the PL-1992 frame; the page's wider frame meets no more).
constexpr int kGeneralPlanZonesInFrame = 7;
const std::string kCommune(demo::kCommuneTeryt);

const std::string kCadastre = "/wss/ext/PowiatoweBazyEwidencjiGruntow/";
const std::string kUtilityNetwork = "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/";
const std::string kBoundaries = "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries";
const std::string kNewBuildings = "/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki";
const std::string kRegister = "/api/public/published/";
const std::string kCapabilities = "request=GetCapabilities";

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Requests under `path` whose text holds `contains` are answered with `kind`,
// every one: a single bad answer healed by the retry is the client's own test.
struct Spoil {
    Kind kind;
    std::string path;
    std::string contains = "";
    int delayMs = 3000;
    int times = -1;  // answers spoiled; below 0 every one
};

struct FetchCase {
    const char* name;
    std::vector<std::string> layers;
    std::vector<Spoil> spoils;
    std::map<std::string, int> counts;
    std::string warning;  // the whole warning; with `times` > 0 a part said that many times
    int times = 0;
    bool images = false;  // map images are drawn as asked for: a loaded machine must wait for them
    bool wide = false;    // about 1.5 x 0.45 km: two orthophoto tiles side by side, each tried at three widths
};

// Patient timings for map images; the default ones let a slow answer fail.
void waitForImages(ImportSession& s) {
    net::HttpTimings patient;
    patient.hostSpacingMs = 0;
    patient.defaultReceiveTimeoutMs = 60000;
    s.controller().setFetchTimings(patient);
}

const std::map<std::string, int> kCadastreOnly = {{"dzialki", demo::kParcels}, {"budynki", demo::kBuildings}};
const std::vector<std::string> kSite = {"dzialki", "budynki", "gesut"};
const std::vector<std::string> kPlan = {"dzialki", "pog"};
const std::map<std::string, int> kParcelsOnly = {{"dzialki", demo::kParcels}};
const std::string kPlanLost = "POG gminy " + kCommune + ": ";

TEST(FetchFaults, WhatArrivesAndWhatIsSaid) {
    const FetchCase cases[] = {
        {"CountyModels", {"dzialki", "budynki3d", "budynkilod2"}, {},
                  {{"dzialki", demo::kParcels}, {"budynki3d", demo::kBuildings}, {"budynkilod2", demo::kBuildings}}, ""},
        {"GeneralPlan", kPlan, {}, {{"dzialki", demo::kParcels}, {"pog", kGeneralPlanZonesInFrame}}, ""},
        {"MapImages", {"dzialki", "rastr", "bdot500", "mpzp"}, {},
                  {{"dzialki", demo::kParcels}, {"rastry (rastr)", 1}, {"bdot500 (rastr)", 1}, {"mpzp (rastr)", 1}},
                  "MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla " + kCommune + ".", 0, true},
        {"CutLidarTilesRebuildNothing", {"budynkirekon"},
                  {{Kind::Truncate, "/NumDaneWys/DanePomiaroweLAZ/", "", 0}}, {},
                  "Rekonstrukcja LOD2: kafel ", 11},  // every tile of the zone
        {"RegisterQueryFails", kPlan, {{Kind::Status, kRegister + "query"}}, kParcelsOnly,
                  kPlanLost + "Rejestr Urbanistyczny nie odpowiada (Serwer zwrocil status 500) - strefy pominiete."},
        {"RegisterDownloadCut", kPlan, {{Kind::Truncate, kRegister + "5001/"}}, kParcelsOnly,
                  kPlanLost + "nie udalo sie pobrac stref aktu '5001' (Pobieranie przerwane (68,3 KB z 136,7 KB).) - "
                              "strefy pominiete."},
        {"OrthophotoNeverDraws", {"dzialki", "rastr"}, {{Kind::Exception, "", "/ORTO/"}}, kParcelsOnly,
                  "Ortofotomapa WMS nie odpowiada - rastr pominiety."},
        {"OrthophotoTileMissing", {"rastr"}, {{Kind::Exception, "", "/ORTO/", 3000, 3}}, {{"rastry (rastr)", 1}},
                  "Rastr rastry: pobrano 1 z 2 platek - brakujace fragmenty pominieto.", 0, true, true},
        {"UtilitiesAsAMapImage", {"gesut"}, {{Kind::Status, kUtilityNetwork, "service=WFS", 0}},
                  {{"gesut (rastr)", 1}},
                  "GESUT: usluga WFS powiatu nie odpowiada (Serwer zwrocil status 500) - przewodow nie pobrano. GESUT "
                  "jako rastr (WMS powiatowy) - brak WFS lub brak przewodow w WFS.",
                  0, true},
        {"ParcelLayerStatus500", kSite, {{Kind::Status, "", "dzialki"}},
                  {{"budynki", demo::kBuildings}, {"gesut", kUtilities}}, "ms:dzialki:", 1},
        {"GasPipesTimeOut", kSite, {{Kind::Slow, "", "przewod_gazowy"}},
                  {{"dzialki", demo::kParcels}, {"budynki", demo::kBuildings}, {"gesut", kUtilities - demo::kGasPipes}},
                  "ms:przewod_gazowy:", 1},
        {"UtilitiesExceptionAlways", kSite, {{Kind::Exception, kUtilityNetwork, kCapabilities}}, kCadastreOnly,
                  "GESUT: usluga WFS powiatu nie odpowiada (Serwer zwrocil raport bledu OGC zamiast danych.) - przewodow "
                  "nie pobrano. GESUT: powiatowa usluga nie odpowiada."},
        {"CadastreHtmlAlways", kSite, {{Kind::Html, kCadastre, kCapabilities}},
                  {{"budynki", demo::kNewBuildings}, {"gesut", kUtilities}},
                  "Powiatowa usluga WFS EGiB nie odpowiada (Serwer zwrocil strone HTML zamiast danych.) - dzialek i "
                  "budynkow nie pobrano. Brak dzialek dla tego obszaru. Budynki z BDOT10k NoweBudynki (fallback - tylko "
                  "nowe obiekty)."},
        {"CadastreAndNewBuildingsDown", kSite, {{Kind::Status, kCadastre}, {Kind::Status, kNewBuildings}},
                  {{"gesut", kUtilities}},
                  "Powiatowa usluga WFS EGiB nie odpowiada (Serwer zwrocil status 500) - dzialek i budynkow nie pobrano. "
                  "Brak dzialek dla tego obszaru. Usluga WFS ms:bud_2025: 2 z 2 kafli bez odpowiedzi (Serwer zwrocil "
                  "status 500)."},
        {"BoundariesDown", kSite, {{Kind::Status, kBoundaries}}, {{"budynki", demo::kNewBuildings}},
                  "Usluga granic administracyjnych (PRG) nie odpowiada (Serwer zwrocil status 500). Nie udalo sie ustalic "
                  "powiatu dla widoku. Brak dzialek dla tego obszaru. Budynki z BDOT10k NoweBudynki (fallback - tylko "
                  "nowe obiekty). GESUT pominiety: nie udalo sie ustalic powiatu dla widoku."}};
    for (const FetchCase& c : cases) {
        SCOPED_TRACE(c.name);
        ImportSession s;
        for (const Spoil& f : c.spoils)
            DemoServices::instance().addFault(f.kind, f.contains, f.delayMs, f.path, f.times);
        if (c.images) waitForImages(s);
        json fetch = ImportSession::demoFetch(c.layers);
        if (c.wide) {
            const tools::DemoFrame f = tools::demoFrame();
            const double lon = (f.west + f.east) / 2, lat = (f.south + f.north) / 2;
            fetch["bboxWgs84"] = {lon - 0.011, lat - 0.002, lon + 0.011, lat + 0.002};
        }
        EXPECT_TRUE(s.ask(fetch).is_null());
        const json done = s.waitFor("fetchDone");
        ASSERT_FALSE(done.is_null());
        EXPECT_EQ(done["counts"], json(c.counts));
        const std::string warning = done.value("warning", "");
        if (c.times > 0) {
            EXPECT_EQ(occurrences(warning, c.warning), c.times) << warning;
        } else {
            EXPECT_EQ(warning, c.warning);
        }
        EXPECT_FALSE(s.controller().busy());
    }
}

// The demo's own registry files, replaced for one test and put back after.
class UserRegistry {
public:
    UserRegistry(std::map<std::string, std::string> files) {
        for (const auto& [name, text] : files) std::ofstream(dir() / name, std::ios::binary | std::ios::trunc) << text;
    }
    ~UserRegistry() { EXPECT_EQ(tools::pointServicesAt(DemoServices::instance().baseUrl(), dir()), ""); }
    static std::filesystem::path dir() { return DemoServices::instance().root() / "registry"; }
};

TEST(FetchFallbacks, UnitsWithoutAServiceOfTheirOwnFallBackToTheNationalIntegrations) {
    ImportSession s;
    waitForImages(s);
    // No row for the demo county in two registries, and a user copy of the
    // commune registry with a bad key: the built-in one, which has no plan
    // service for the commune, is used instead.
    UserRegistry registry({{"gesut.tsv", "0202\t\t\n"}, {"bdot500.tsv", "0202\t\t\n"}, {"mpzp.tsv", "# x\n02010X\t\t\n"}});
    DemoServices::instance().server().log().clear();
    const json done = s.fetch({"gesut", "bdot500", "mpzp"});
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

}  // namespace
}  // namespace kl::testing
