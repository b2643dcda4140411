#include "shell/settings/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "shell/settings/z_anchor.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/full_disk.h"
#include "tests/support/scratch_folder.h"

namespace kl::settings {
namespace {

namespace fs = std::filesystem;
using geo::DataType;

using TempFolder = kl::test::ScratchFolder;
using geo::testing::readWholeFile;

void expectDefaults(const Settings& s) {
    ASSERT_EQ(s.layers.size(), 20u);
    for (const DataType t : geo::allDataTypes()) EXPECT_EQ(s.layers.at(t), defaultLayerName(t));
    EXPECT_EQ(s.basemap, "osm");
    EXPECT_FALSE(s.hasZAnchor);
    EXPECT_EQ(s.zAnchor, 0.0);
    EXPECT_FALSE(s.zAnchorSite.has_value());
}

TEST(Settings, HostileFileGivesTheDefaultsAndSaysSo) {
    const std::pair<const char*, std::string> cases[] = {
        {"truncated", "{\"layers\": {\"dzialki\": \"A\""},
        {"array", "[{\"layers\": {}}]"},
        {"wrongKinds", R"({"layers": {"dzialki": 5, "budynki": null, "mpzp": ["x"], "pog": {"a": 1}, "teren": true},
                          "basemap": 7, "zAnchor": "120.5"})"},
        {"layersNotObject", R"({"layers": ["GIS_A", "GIS_B"], "basemap": {"x": 1}, "zAnchor": null})"},
        {"badNames", "{\"layers\": {\"dzialki\": \"\", \"budynki\": \"A\\u0000B\", \"mpzp\": \"A\\tB\"}}"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        const SettingsRead r = readSettingsText(text);
        expectDefaults(r.settings);
        EXPECT_FALSE(r.complete());
    }
}

TEST(Settings, PartialFileTakesGoodEntriesAndNamesTheOthers) {
    const SettingsRead r = readSettingsText(R"({"layers": {"dzialki": 12, "budynki": "Moje budynki", "nieznany": "X"},
                                        "basemap": "orto", "inneKlucze": [1, 2]})");
    EXPECT_EQ(r.settings.layers.at(DataType::Parcels), "GIS_DZIALKI");
    EXPECT_EQ(r.settings.layers.at(DataType::Buildings), "Moje budynki");
    EXPECT_EQ(r.settings.layers.at(DataType::ZoningPlans), "GIS_MPZP");
    EXPECT_EQ(r.settings.basemap, "orto");
    EXPECT_FALSE(r.settings.hasZAnchor);
    EXPECT_FALSE(r.unreadable);
    EXPECT_EQ(r.dropped, std::vector<std::string>{"layers.dzialki"});
}

TEST(Settings, OverlongLayerNameIsCutOnceOnACharacterBoundary) {
    Settings s = defaultSettings();
    std::string polish;
    for (int i = 0; i < 200; ++i) polish += "ż";  // 400 bytes; byte 255 is the middle of a letter
    ASSERT_TRUE(setLayer(s, DataType::Parcels, polish));
    EXPECT_EQ(s.layers.at(DataType::Parcels), polish.substr(0, 254));
    EXPECT_EQ(layerNameForHost(s.layers.at(DataType::Parcels)), s.layers.at(DataType::Parcels));
    EXPECT_EQ(layerNameForHost(std::string(255, 'x')), std::string(255, 'x'));
}

TEST(Settings, SavedTextIsIndentedUtf8InTypeOrderWithoutAnUnsetAnchor) {
    const auto root = nlohmann::json::parse(serializeSettings(readSettingsText("{}").settings));
    EXPECT_FALSE(root.contains("zAnchor"));
    EXPECT_FALSE(root.contains("zAnchorSurveyPoint"));
    EXPECT_EQ(root.at("layers").size(), 20u);
    Settings s = defaultSettings();
    setLayer(s, DataType::Parcels, "Działki ąęść");
    const std::string text = serializeSettings(s);
    EXPECT_NE(text.find("\n  \"layers\": {\n    \"dzialki\": \"Działki ąęść\",\n    \"budynki\""), std::string::npos)
        << text;
    EXPECT_LT(text.find("\"wodachmura\""), text.find("\"basemap\""));
    EXPECT_LT(text.find("\"budynkirekon\""), text.find("\"wodachmura\""));
    EXPECT_EQ(defaultLayerName(static_cast<DataType>(20)), "GIS_INNE");  // a type the table does not know
}

TEST(Settings, RoundTripKeepsAllLayersAndTheAnchorRule) {
    TempFolder dir;
    const fs::path file = dir.path() / "KARTOLINK" / "settings.json";
    Settings s = defaultSettings();
    int i = 0;
    for (const DataType t : geo::allDataTypes()) setLayer(s, t, "Warstwa ż " + std::to_string(i++));
    s.basemap = "none";
    setZAnchor(s, 84.625, AnchorSite{7501234.5, 5787654.25, 2178});
    ASSERT_TRUE(saveSettings(s, file).ok);

    const Settings back = loadSettings(file).settings;
    ASSERT_EQ(back.layers.size(), 20u);
    EXPECT_EQ(back.layers, s.layers);
    EXPECT_EQ(back.basemap, "none");
    EXPECT_TRUE(back.hasZAnchor);
    EXPECT_DOUBLE_EQ(back.zAnchor, 84.625);
    ASSERT_TRUE(back.zAnchorSite.has_value());
    EXPECT_EQ(*back.zAnchorSite, *s.zAnchorSite);
}

std::vector<fs::path> setAside(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("settings.json.nieczytelny-", 0) == 0) found.push_back(e.path());
    return found;
}

// The file is moved aside before anything can overwrite it, and the user is told where.
TEST(Settings, UnreadableFileIsSetAsideWholeAndTheUserIsTold) {
    std::string oversized = R"({"basemap": "orto", "pad": ")";  // a valid object padded past the size limit
    oversized.append(kMaxSettingsFileBytes, 'a');
    oversized += "\"}";
    for (const std::string& text : {std::string(R"({"layers": {"dzialki": "Moje")"), std::string("[1, 2]"), oversized}) {
        SCOPED_TRACE(text.substr(0, 40));
        TempFolder dir;
        const fs::path file = dir.write("settings.json", text);
        const LoadedSettings r = loadSettings(file);
        expectDefaults(r.settings);
        const auto aside = setAside(dir.path());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(readWholeFile(aside[0]), text);
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(r.message.rfind("Plik ustawien " + file.string() + " jest nieczytelny", 0), 0u) << r.message;
        EXPECT_NE(r.message.find("Stary plik zachowano jako " + aside[0].string()), std::string::npos) << r.message;
    }
}

TEST(Settings, PartlyBadFileKeepsItsGoodEntriesAcrossARestart) {
    TempFolder dir;
    const std::string text = "{\"layers\": {\"dzialki\": \"Z\xFFle\", \"budynki\": \"Moje\"}, \"zAnchor\": 84.5}";
    const fs::path file = dir.write("settings.json", text);
    const LoadedSettings r = loadSettings(file);
    EXPECT_EQ(r.settings.layers.at(DataType::Buildings), "Moje");
    EXPECT_NE(r.message.find("nieprawidlowe wpisy (layers.dzialki)"), std::string::npos) << r.message;
    ASSERT_EQ(setAside(dir.path()).size(), 1u);
    EXPECT_EQ(readWholeFile(setAside(dir.path())[0]), text);

    const LoadedSettings again = loadSettings(file);
    EXPECT_EQ(again.message, "");
    EXPECT_EQ(again.settings.layers.at(DataType::Buildings), "Moje");
    EXPECT_DOUBLE_EQ(again.settings.zAnchor, 84.5);
}

TEST(Settings, NoFileIsNoNoteButAFolderInPlaceOfTheFileIsAndNothingIsSavedThereOrBelowAFile) {
    TempFolder dir;
    const fs::path file = dir.path() / "settings.json";
    const LoadedSettings none = loadSettings(file);
    expectDefaults(none.settings);
    EXPECT_EQ(none.message, "");
    fs::create_directory(file);
    const LoadedSettings r = loadSettings(file);
    expectDefaults(r.settings);
    EXPECT_NE(r.message.find("jest nieczytelny"), std::string::npos) << r.message;
    const auto saved = saveSettings(defaultSettings(), file);
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.message.empty());
    EXPECT_TRUE(fs::is_directory(file));
    // nor below a regular file
    dir.write("plik", "x");
    const auto below = saveSettings(defaultSettings(), dir.path() / "plik" / "settings.json");
    EXPECT_FALSE(below.ok);
    EXPECT_FALSE(below.message.empty());
    EXPECT_EQ(readWholeFile(dir.path() / "plik"), "x");
}

TEST(Settings, SaveReplacesTheFileThroughALinkKeepsTheModeAndLeavesNoTemporaries) {
    TempFolder dir;
    fs::create_directory(dir.path() / "sync");
    const fs::path real = dir.path() / "sync" / "settings.json";
    const fs::path link = dir.path() / "settings.json";
    dir.write("sync/settings.json", "{}");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    fs::create_symlink(fs::path("sync") / "settings.json", link);
    Settings s = defaultSettings();
    s.basemap = "orto";
    ASSERT_TRUE(saveSettings(s, link).ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(loadSettings(real).settings.basemap, "orto");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "sync"), {}), 1);
}

// A disk that fills up in the middle of the save: the write is cut short by
// the file-size limit (EFBIG), in a child process so the limit stays there.
TEST(Settings, InterruptedSaveLeavesTheOldFileIntact) {
    TempFolder dir;
    const fs::path file = dir.path() / "settings.json";
    Settings old = defaultSettings();
    old.basemap = "stare";
    ASSERT_TRUE(saveSettings(old, file).ok);
    const std::string before = readWholeFile(file);

    Settings big = defaultSettings();
    for (const DataType t : geo::allDataTypes()) setLayer(big, t, std::string(250, 'w'));
    ASSERT_GT(serializeSettings(big).size(), 4096u);

    EXPECT_TRUE(kl::test::holdsWhenDiskFills(4096, [&] { return !saveSettings(big, file).ok; }))
        << "the cut-short save must report failure";
    EXPECT_EQ(readWholeFile(file), before);
    EXPECT_EQ(loadSettings(file).settings.basemap, "stare");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file may stay behind";
}

TEST(Settings, AnchorAppliesOnlyToItsOwnSurveyPoint) {
    const std::string anchored = R"({"zAnchor": 84.6, "zAnchorSurveyPoint": {"e": 7500000, "n": 5780000, "epsg": 2178}})";
    const struct {
        const char* name;
        std::string file;
        AnchorSite project;
        bool applies;
        const char* note;  // part of the note to the user; empty: no note
    } cases[] = {
        {"sameSite", anchored, {7500000.3, 5779999.8, 2178}, true, ""},
        {"otherRegion", anchored, {5500000, 5900000, 2176}, false, "(84 m npm)"},  // whole metres
        {"tenMetresAway", anchored, {7500010, 5780000, 2178}, false, "84"},
        {"legacyWithoutSite", R"({"zAnchor": 84.6})", {7500000, 5780000, 2178}, false, "84"},
        {"siteOfTheWrongKind", R"({"zAnchor": 84.6, "zAnchorSurveyPoint": {"e": "7500000", "n": 5780000, "epsg": 2178}})",
         {7500000, 5780000, 2178}, false, "84"},
        {"noAnchor", "{}", {7500000, 5780000, 2178}, false, ""},
        {"zeroAnchor", R"({"zAnchor": 0})", {7500000, 5780000, 2178}, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto d = anchorFor(readSettingsText(c.file).settings, c.project);
        EXPECT_EQ(d.applies, c.applies);
        if (*c.note) {
            EXPECT_NE(d.message.find(c.note), std::string::npos) << d.message;
        } else {
            EXPECT_EQ(d.message, "");
        }
        if (d.applies) {
            EXPECT_DOUBLE_EQ(d.height, 84.6);
        }
    }
}

}  // namespace
}  // namespace kl::settings
