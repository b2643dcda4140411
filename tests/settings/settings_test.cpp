#include "shell/settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The settings file as the user may have left it: what is read from it (the
// same as this clean text), and what the note says. A file not read whole is
// set aside byte for byte before anything can overwrite it, and the next start
// reads what was kept without a word.
TEST(Settings, AFileNotReadWholeIsSetAsideAndItsGoodEntriesKept) {
    std::string oversized = R"({"basemap": "orto", "pad": ")";  // a valid object padded past the size limit
    oversized.append(kMaxSettingsFileBytes, 'a');
    oversized += "\"}";
    const char* unreadable = "jest nieczytelny";
    const struct {
        const char* name;
        std::string text;
        const char* read;  // as a clean file
        const char* note;
    } cases[] = {
        {"truncated", "{\"layers\": {\"dzialki\": \"A\"", "{}", unreadable},
        {"array", "[{\"layers\": {}}]", "{}", unreadable},
        {"oversized", oversized, "{}", unreadable},
        {"wrongKinds", R"({"layers": {"dzialki": 5, "budynki": null, "mpzp": ["x"], "pog": {"a": 1}, "teren": true},
                          "basemap": 7, "zAnchor": "120.5"})", "{}", "nieprawidlowe wpisy"},
        {"layersNotObject", R"({"layers": ["GIS_A", "GIS_B"], "basemap": {"x": 1}, "zAnchor": null})", "{}", ""},
        {"badNames", "{\"layers\": {\"dzialki\": \"\", \"budynki\": \"A\\u0000B\", \"mpzp\": \"A\\tB\"}}", "{}", ""},
        {"partlyBad",
         "{\"layers\": {\"dzialki\": \"Z\xFFle\", \"budynki\": \"Moje\", \"nieznany\": \"X\"}, \"zAnchor\": 84.5, "
         "\"basemap\": \"orto\", \"inneKlucze\": [1, 2]}",
         R"({"layers": {"budynki": "Moje"}, "zAnchor": 84.5, "basemap": "orto"})",
         "nieprawidlowe wpisy (layers.dzialki)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const fs::path file = dir.write("settings.json", c.text);
        const std::string expected = serializeSettings(readSettingsText(c.read).settings);
        const LoadedSettings r = loadSettings(file);
        EXPECT_EQ(serializeSettings(r.settings), expected);
        std::vector<fs::path> aside;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("settings.json.nieczytelny-", 0) == 0) aside.push_back(e.path());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(readWholeFile(aside[0]), c.text);
        EXPECT_EQ(r.message.rfind("Plik ustawien " + file.string() + " ", 0), 0u) << r.message;
        EXPECT_NE(r.message.find(c.note), std::string::npos) << r.message;
        EXPECT_NE(r.message.find("Stary plik zachowano jako " + aside[0].string()), std::string::npos) << r.message;
        const LoadedSettings again = loadSettings(file);
        EXPECT_EQ(again.message, "");
        EXPECT_EQ(serializeSettings(again.settings), expected);
    }
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

TEST(Settings, NoFileIsNoNoteButAFolderInPlaceOfTheFileIsAndNothingIsSavedThereOrBelowAFile) {
    TempFolder dir;
    const fs::path file = dir.path() / "settings.json";
    const std::string defaults = serializeSettings(defaultSettings());
    const LoadedSettings none = loadSettings(file);
    EXPECT_EQ(serializeSettings(none.settings), defaults);
    EXPECT_EQ(none.message, "");
    fs::create_directory(file);
    const LoadedSettings r = loadSettings(file);
    EXPECT_EQ(serializeSettings(r.settings), defaults);
    EXPECT_NE(r.message.find("jest nieczytelny"), std::string::npos) << r.message;
    dir.write("plik", "x");
    for (const fs::path& target : {file, dir.path() / "plik" / "settings.json"}) {
        const auto saved = saveSettings(defaultSettings(), target);
        EXPECT_FALSE(saved.ok) << target;
        EXPECT_NE(saved.message.find("Nie udalo sie zapisac pliku " + target.string() + " ("), std::string::npos);
    }
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(readWholeFile(dir.path() / "plik"), "x");
}

TEST(Settings, SaveReplacesTheFileThroughALinkKeepsTheModeAndLeavesNoTemporaries) {
    TempFolder dir;
    fs::create_directory(dir.path() / "sync");
    const fs::path real = dir.path() / "sync" / "settings.json";
    const fs::path link = dir.path() / "settings.json";
    dir.write("sync/settings.json", "{}");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(real, mode);
    fs::create_symlink(fs::path("sync") / "settings.json", link);
    Settings s = defaultSettings();
    s.basemap = "orto";
    ASSERT_TRUE(saveSettings(s, link).ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(loadSettings(real).settings.basemap, "orto");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, mode);
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
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "no temporary file may stay behind";
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
        // read back from what it saves, so the site must survive the writing too
        const Settings saved = readSettingsText(serializeSettings(readSettingsText(c.file).settings)).settings;
        const auto d = anchorFor(saved, c.project);
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
