// The project's georeference and the page's settings and origin handlers,
// against a workbench project whose diagnostics go to a private folder, so a
// test can read exactly what was appended.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/core/workbench.h"
#include "import/import_controller.h"
#include "shell/settings/project_georef.h"
#include "shell/settings/settings.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/scratch_folder.h"

namespace kl::import {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using settings::GeorefLevel;
using settings::readProjectGeoref;
using settings::setSurveyPointHeight;
using settings::writeProjectGeoref;

class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("KL_DIAG_DIR", (dir_ / "diag").c_str(), 1); }
    void TearDown() override { ::unsetenv("KL_DIAG_DIR"); }
    std::string diagText() const { return geo::testing::readWholeFile(dir_ / "diag" / "ordvik_geo_diag.txt"); }

    kl::test::ScratchFolder scratch_{"kl_project"};
    const fs::path dir_ = scratch_.path();
    host::Workbench wb_;
};

class GeorefTest : public ProjectTest {
protected:
    // The record as the user left it in the project.
    void setRecord(const std::function<void(KlGeoLocation&)>& change) {
        KlGeoLocation g = geo();
        change(g);
        ASSERT_EQ(wb_.setGeoLocation(&g), KL_NOERROR);
    }
    const KlGeoLocation& geo() const { return wb_.project().geoLocation(); }
    // The next calls of `function` fail with these codes, in turn.
    void failNext(const char* function, std::initializer_list<KlErr> codes, bool sticky = false) {
        for (const KlErr code : codes) wb_.faults().arm({function, 1, code, sticky, 0});
    }
    const KlHostFunctions* table() const { return &host::Workbench::hostTable(); }
};

// No record, a failed read, the location alone (approximate, in PL-1992) and
// a survey point: exact in the system its name gives or, without a name, the
// one its coordinates belong to; a name the import cannot use is warned about.
TEST_F(GeorefTest, EachRecordIsReadAsExactlyAsItAllows) {
    constexpr GeorefLevel X = GeorefLevel::Exact, A = GeorefLevel::Approximate, U = GeorefLevel::Unreadable;
    const char* approximate = "Georeferencja przyblizona (z lokalizacji projektu, nie Survey Pointu).";
    struct Case {
        const char* crs;  // nullptr: the location alone, at Warsaw's centre; "!": the read fails
        double easting, northing;
        GeorefLevel level;
        int epsg;
        const char* message;  // part of it; nullptr: none; "": the name of the system, quoted
    };
    const Case cases[] = {
        {nullptr, 0, 0, U, 2180, "Projekt nie ma georeferencji. Kliknij \"Ustaw lokalizacje projektu wg mapy\""},
        {"!", 0, 0, U, 2180, "Nie mozna odczytac georeferencji projektu (GeoLocation)."},
        // Warsaw's centre in PL-1992 lies near E 637 km, N 487 km.
        {nullptr, 637'000, 487'000, A, 2180, approximate},
        {"EPSG:2178", 7501000.25, 5787000.5, X, 2178, nullptr},
        {"urn:ogc:def:crs:EPSG::2177", 7501000.25, 5787000.5, X, 2177, nullptr},
        {"ETRF2000-PL / CS2000/21 (Poland zone VII) 2178", 7501000.25, 5787000.5, X, 2178, nullptr},
        {"ETRF2000-PL / CS92 EPSG:2180", 7501000.25, 5787000.5, X, 2180, nullptr},
        {"EPSG:4326", 7501000.25, 5787000.5, X, 2178, ""},
        {"EPSG:21781", 7501000.25, 5787000.5, X, 2178, ""},
        {"", 7501000.25, 5787000.5, X, 2178, nullptr},
        {"", 5'453'000, 5'700'000, X, 2176, nullptr},
        {"", 8'610'000, 5'570'000, X, 2179, nullptr},
        {"", 637'000, 487'000, X, 2180, nullptr},
        {"", 3'000'000, 100, X, 2180, "nie lezy ani w ukladzie PL-2000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.crs ? c.crs : "(location)") + " " + std::to_string(c.easting));
        const bool survey = c.crs && *c.crs != '!';
        setRecord([&](KlGeoLocation& g) {
            g.latitude = c.easting != 0 ? 52.2297 : 0;
            g.longitude = c.easting != 0 ? 21.0122 : 0;
            g.altitude = survey ? 0 : 84.6;  // a survey point has a height of its own
            g.surveyEasting = survey ? c.easting : 0;
            g.surveyNorthing = survey ? c.northing : 0;
            g.surveyElevation = survey ? 84.6 : 0;
            std::memset(g.crsName, 0, sizeof g.crsName);
            std::strcpy(g.crsName, survey ? c.crs : "");
        });
        if (c.crs && *c.crs == '!') failNext("GetGeoLocation", {KL_ERR_GENERAL});
        const auto g = readProjectGeoref(table());
        EXPECT_EQ(g.level, c.level);
        EXPECT_EQ(g.epsg, c.epsg);
        const std::string part = !c.message ? "" : *c.message ? c.message : "\"" + std::string(c.crs) + "\"";
        EXPECT_TRUE(c.message ? g.message.find(part) != std::string::npos : g.message.empty()) << g.message;
        if (c.level == U) continue;
        EXPECT_NEAR(g.easting, c.easting, survey ? 0 : 2000);
        EXPECT_NEAR(g.northing, c.northing, survey ? 0 : 2000);
        EXPECT_DOUBLE_EQ(g.height, 84.6);
    }
    EXPECT_EQ(readProjectGeoref(nullptr).level, U);
}

// A host that hands out a name filling its whole field, without an end, and
// the warning for a name the import cannot use.
TEST_F(GeorefTest, UnterminatedCrsNameIsReadWithinItsField) {
    KlHostFunctions unterminated = *table();
    unterminated.GetGeoLocation = [](KlGeoLocation* out) {
        *out = KlGeoLocation{};
        out->surveyEasting = 1;
        std::memset(out->crsName, '7', sizeof out->crsName);
        return KL_NOERROR;
    };
    const auto g = readProjectGeoref(&unterminated);
    EXPECT_EQ(g.level, GeorefLevel::Exact);
    EXPECT_EQ(g.epsg, 2180);
    EXPECT_EQ(g.message, "Uwaga: nieobslugiwany CRS projektu \"" + std::string(sizeof KlGeoLocation{}.crsName, '7') +
                             "\". Import zaklada uklad PL-2000/PL-1992 - sprawdz georeferencje.");
}

TEST_F(GeorefTest, FullRecordIsWrittenAtLevelZero) {
    setRecord([](KlGeoLocation& g) {
        g.altitude = 33;
        std::strcpy(g.crsDescription, "opis");
    });
    const auto r = writeProjectGeoref(table(), 52.2297, 21.0122, 2178, 7501234.5, 5787654.25);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.level, 0);
    EXPECT_EQ(geo().altitude, 33);  // fields not named are kept as the host gave them
    EXPECT_STREQ(geo().crsDescription, "opis");
    EXPECT_EQ(geo().surveyNorthing, 5787654.25);
    EXPECT_STREQ(geo().crsName, "EPSG:2178");
    EXPECT_STREQ(geo().mapZone, "7");
    ASSERT_EQ(wb_.report().size(), 1u);
    // Printed without the locale: a decimal comma here would be the fault.
    EXPECT_NE(wb_.report()[0].text.find("E=7501234.500000 N=5787654.250000 (PL-2000, EPSG:2178)"), std::string::npos);
    EXPECT_NE(diagText().find("poziom_ktory_przeszedl=0 "), std::string::npos);
    EXPECT_NE(diagText().find("lat=52.2297 lon=21.0122 zone=2178 E=7501234.5 N=5787654.25 H=0\n"), std::string::npos);
}

// The fall back through the levels to the minimum record, and that record
// read back in its zone, are the import flow's against the workbench; here the
// record the host refuses at every level or cannot read, which stays untouched.
TEST_F(GeorefTest, ARefusedOrUnreadableRecordIsNeverWritten) {
    failNext("SetGeoLocation", {KL_ERR_BADPARS, KL_ERR_BADPARS, KL_ERR_BADID, KL_ERR_BADPARS});
    const auto refused = writeProjectGeoref(table(), 50.06, 19.94, 2178, 7423000, 5547000);
    EXPECT_FALSE(refused.ok() || refused.readFailed);
    EXPECT_EQ(refused.level, -1);
    EXPECT_EQ(refused.lastError, KL_ERR_BADID);
    EXPECT_NE(diagText().find("koncowy_err=-2130311 poziom_ktory_przeszedl=-1 "), std::string::npos);
    EXPECT_FALSE(setSurveyPointHeight(table(), 90));
    failNext("GetGeoLocation", {KL_ERR_GENERAL}, true);
    const auto unread = writeProjectGeoref(table(), 50.06, 19.94, 2178, 7423000, 5547000);
    EXPECT_TRUE(unread.readFailed && !unread.ok());
    EXPECT_FALSE(setSurveyPointHeight(table(), 12));
    EXPECT_EQ(geo().surveyEasting, 0);
    EXPECT_EQ(geo().surveyElevation, 0);
    EXPECT_TRUE(wb_.report().empty());
}

class ImportHandlers : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        controller_ = std::make_unique<ImportController>(settingsFile(), [] { return &host::Workbench::hostTable(); },
                                                         settings::serviceHostsWithOverride("http://127.0.0.1:9"));
        // The survey point's height would come from the terrain model
        // service, which these tests do not run.
        controller_->setHeightSampler([](geo::Point2d, int) { return std::optional<double>(); });
        controller_->registerHandlers(bridge_);
        bridge_.setSender([this](const std::string& text) { sent_.push_back(json::parse(text)); });
    }
    fs::path settingsFile() const { return dir_ / "KARTOLINK" / "settings.json"; }

    // Sends one page message and returns what came back (null when nothing did).
    json ask(const json& msg) {
        sent_.clear();
        bridge_.onMessage(msg.dump());
        EXPECT_LE(sent_.size(), 1u);
        return sent_.empty() ? json() : sent_.back();
    }

    Bridge bridge_;
    std::vector<json> sent_;
    std::unique_ptr<ImportController> controller_;
};

// Each malformed message is refused at once with its reason, and nothing is
// saved or written. (Fields of the wrong kind are the bridge's table; one row
// of each handler shows it is guarded.)
TEST_F(ImportHandlers, MalformedMessagesAreRefusedWithAReasonAndChangeNothing) {
    const std::string badName = "Nieprawidlowa nazwa warstwy dla \"dzialki\": nazwa musi byc niepustym tekstem bez "
                                "znakow sterujacych.";
    const std::string outside = "Srodek mapy lezy poza Polska - lokalizacje projektu mozna ustawic tylko w Polsce.";
    const std::pair<json, std::string> refused[] = {
        {{{"type", "searchAddress"}, {"query", 52.2}}, "Pole \"query\" musi byc tekstem."},
        {{{"type", "settingsChanged"}, {"mapping", {{"budynki", "Nowe"}, {"dzialki", 5}}}}, badName},
        {{{"type", "settingsChanged"}, {"mapping", {{"budynki", "Nowe"}, {"dzialki", "A\nB"}}}}, badName},
        {{{"type", "settingsChanged"}, {"mapping", {{"budynki", "Nowe"}, {"dzialki", ""}}}}, badName},
        {{{"type", "settingsChanged"}, {"mapping", "x"}}, "Pole \"mapping\" musi byc obiektem."},
        {{{"type", "setOrigin"}, {"lat", 50.0}}, "Brak wspolrzednych srodka mapy"},
        {{{"type", "setOrigin"}, {"lat", "50"}, {"lon", 19.9}}, "Pole \"lat\" musi byc liczba."},
        {{{"type", "setOrigin"}, {"lat", 91.0}, {"lon", 19.9}}, outside},
        {{{"type", "setOrigin"}, {"lat", 50.0}, {"lon", 400.0}}, outside},
        {{{"type", "setOrigin"}, {"lat", 52.52}, {"lon", 13.405}}, outside},  // Berlin
    };
    for (const auto& [message, text] : refused) {
        const json r = ask(message);
        EXPECT_EQ(r.value("type", ""), "error") << message.dump();
        EXPECT_EQ(r.value("msg", ""), text) << message.dump();
    }
    EXPECT_EQ(controller_->currentSettings().layers.at(geo::DataType::Buildings), "GIS_BUDYNKI");
    EXPECT_FALSE(fs::exists(settingsFile()));
    EXPECT_EQ(wb_.project().geoLocation().latitude, 0);
}

// A location read back is the import flow's against the workbench; here the
// record without one and the unreadable one.
TEST_F(ImportHandlers, InitCarriesTheHostsAndNoLocationWithoutAGeoreference) {
    const json r = ask({{"type", "getInit"}});
    EXPECT_EQ(r["type"], "init");
    EXPECT_EQ(r["hosts"]["orto"], "http://127.0.0.1:9");
    EXPECT_FALSE(r.contains("lat")) << "no georeference: the page keeps its view";
    wb_.faults().arm({"GetGeoLocation", 1, KL_ERR_GENERAL, true, 0});
    EXPECT_EQ(ask({{"type", "getInit"}}), r) << "an unreadable record: as without one";
}

TEST_F(ImportHandlers, LayerListHasTheProjectLayersAndTheMappingAChangeSavesForTheNextStart) {
    std::vector<std::string> layers;
    for (const auto& a : wb_.project().attributes().list(KL_ATTR_LAYER)) layers.push_back(a.name);
    const json r = ask({{"type", "getLayers"}});
    EXPECT_EQ(r["type"], "layerList");
    EXPECT_EQ(r["layers"], json(layers));
    EXPECT_EQ(r["mapping"].size(), 20u);
    EXPECT_EQ(r["mapping"]["poziomicechmura2d"], "GIS_POZIOMICE_CHMURA_2D");
    EXPECT_EQ(ask({{"type", "settingsChanged"},
                   {"mapping", {{"dzialki", "Działki nowe"}, {"budynki", "Ściany"}, {"nieznany", "X"}}}}),
              json({{"type", "settingsSaved"}}));
    EXPECT_EQ(ask({{"type", "getLayers"}})["mapping"]["dzialki"], "Działki nowe");
    ImportController restarted(settingsFile(), [] { return &host::Workbench::hostTable(); }, settings::ServiceHosts{});
    EXPECT_EQ(restarted.currentSettings().layers.at(geo::DataType::Buildings), "Ściany");
}

TEST_F(ImportHandlers, AFailedSaveIsNeverReportedAsSavedAndABrokenFileIsToldInThePageAndTheReport) {
    fs::create_directories(settingsFile());  // a folder where the file should be
    const json r = ask({{"type", "settingsChanged"}, {"mapping", {{"budynki", "Nowe"}}}});
    EXPECT_EQ(r.value("msg", "").rfind("Nie zapisano ustawien: ", 0), 0u) << r.dump();
    EXPECT_EQ(controller_->currentSettings().layers.at(geo::DataType::Buildings), "Nowe");
    fs::remove(settingsFile());
    std::ofstream(settingsFile()) << R"({"layers": {"budynki": "Moje")";
    ImportController restarted(settingsFile(), [] { return &host::Workbench::hostTable(); }, settings::ServiceHosts{});
    ASSERT_EQ(wb_.report().size(), 1u);
    const std::string reported = wb_.report()[0].text;
    EXPECT_EQ(reported.rfind("KARTOLINK: Plik ustawien ", 0), 0u) << reported;
    const std::string notice = restarted.onGetInit({}).value("notice", "");
    EXPECT_EQ("KARTOLINK: " + notice, reported);
    EXPECT_EQ(restarted.onSettingsChanged({{"mapping", {{"budynki", "Nowe"}}}}), json({{"type", "settingsSaved"}}));
    EXPECT_FALSE(restarted.onGetInit({}).contains("notice")) << "a saved file has nothing left to warn about";
}

TEST_F(ImportHandlers, AGeoreferenceTheHostRefusesOrCannotReadIsNamed) {
    for (const KlErr code : {KL_ERR_BADPARS, KL_ERR_BADPARS, KL_ERR_NOTSUPPORTED})
        wb_.faults().arm({"SetGeoLocation", 1, code, false, 0});
    const std::string msg = ask({{"type", "setOrigin"}, {"lat", 54.35}, {"lon", 18.65}})["msg"];
    EXPECT_EQ(msg.rfind("Nie udalo sie zapisac georeferencji projektu (kod -2110145). Szczegoly: ", 0), 0u) << msg;
    EXPECT_NE(msg.find((dir_ / "diag" / "ordvik_geo_diag.txt").string()), std::string::npos) << msg;
    EXPECT_TRUE(fs::exists(dir_ / "diag" / "ordvik_geo_diag.txt"));

    wb_.faults().arm({"GetGeoLocation", 1, KL_ERR_GENERAL, true, 0});
    EXPECT_EQ(ask({{"type", "setOrigin"}, {"lat", 54.35}, {"lon", 18.65}})["msg"],
              "Nie mozna odczytac georeferencji projektu");
}

}  // namespace
}  // namespace kl::import
