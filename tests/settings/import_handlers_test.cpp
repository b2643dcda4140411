#include "import/import_controller.h"

#include <gtest/gtest.h>

#include <optional>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/settings/settings.h"
#include "host/core/workbench.h"
#include "tests/support/scratch_folder.h"

namespace kl::import {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ImportHandlers : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KL_DIAG_DIR", (dir_ / "diag").c_str(), 1);
        controller_ = std::make_unique<ImportController>(settingsFile(), [] { return &host::Workbench::hostTable(); },
                                                         settings::serviceHostsWithOverride("http://127.0.0.1:9"));
        // The survey point's height would come from the terrain model
        // service, which these tests do not run.
        controller_->setHeightSampler([](geo::Point2d, int) { return std::optional<double>(); });
        controller_->registerHandlers(bridge_);
        bridge_.setSender([this](const std::string& text) { sent_.push_back(json::parse(text)); });
    }
    void TearDown() override { ::unsetenv("KL_DIAG_DIR"); }
    fs::path settingsFile() const { return dir_ / "KARTOLINK" / "settings.json"; }

    // Sends one page message and returns what came back (null when nothing did).
    json ask(const json& msg) {
        sent_.clear();
        bridge_.onMessage(msg.dump());
        EXPECT_LE(sent_.size(), 1u);
        return sent_.empty() ? json() : sent_.back();
    }

    kl::test::ScratchFolder scratch_{"kl_import"};
    const fs::path dir_ = scratch_.path();
    host::Workbench wb_;
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
    json r = ask({{"type", "getInit"}});
    EXPECT_EQ(r["type"], "init");
    EXPECT_EQ(r["hosts"]["orto"], "http://127.0.0.1:9");
    EXPECT_EQ(r["hosts"]["ofm"], "http://127.0.0.1:9");
    EXPECT_FALSE(r.contains("lat")) << "no georeference: the page keeps its view";
    wb_.faults().arm({"GetGeoLocation", 1, KL_ERR_GENERAL, true, 0});
    r = ask({{"type", "getInit"}});
    EXPECT_EQ(r["type"], "init");
    EXPECT_FALSE(r.contains("lat"));
}

TEST_F(ImportHandlers, LayerListHasTheProjectLayersAndTheWholeMapping) {
    std::vector<std::string> layers;
    for (const auto& a : wb_.project().attributes().list(KL_ATTR_LAYER)) layers.push_back(a.name);
    const json r = ask({{"type", "getLayers"}});
    EXPECT_EQ(r["type"], "layerList");
    EXPECT_EQ(r["layers"], json(layers));
    EXPECT_EQ(r["mapping"].size(), 20u);
    EXPECT_EQ(r["mapping"]["dzialki"], "GIS_DZIALKI");
    EXPECT_EQ(r["mapping"]["poziomicechmura2d"], "GIS_POZIOMICE_CHMURA_2D");
}

TEST_F(ImportHandlers, ChangedMappingIsSavedAndSurvivesARestart) {
    EXPECT_EQ(ask({{"type", "settingsChanged"},
                   {"mapping", {{"dzialki", "Działki nowe"}, {"budynki", "Ściany"}, {"mpzp", std::string(300, 'm')},
                                {"nieznany", "X"}}}}),
              json({{"type", "settingsSaved"}}));
    EXPECT_EQ(controller_->currentSettings().layers.at(geo::DataType::Parcels), "Działki nowe");
    ImportController restarted(settingsFile(), [] { return &host::Workbench::hostTable(); }, settings::ServiceHosts{});
    EXPECT_EQ(restarted.currentSettings().layers.at(geo::DataType::Buildings), "Ściany");
    EXPECT_EQ(restarted.currentSettings().layers.at(geo::DataType::ZoningPlans), std::string(255, 'm'))
        << "cut once, never dropped";
}

TEST_F(ImportHandlers, AFailedSaveIsNeverReportedAsSaved) {
    fs::create_directories(settingsFile());  // a folder where the file should be
    const json r = ask({{"type", "settingsChanged"}, {"mapping", {{"budynki", "Nowe"}}}});
    EXPECT_EQ(r.value("msg", "").rfind("Nie zapisano ustawien: ", 0), 0u) << r.dump();
    EXPECT_EQ(controller_->currentSettings().layers.at(geo::DataType::Buildings), "Nowe");
}

TEST_F(ImportHandlers, ABrokenSettingsFileIsToldInThePageAndTheReport) {
    fs::create_directories(settingsFile().parent_path());
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
