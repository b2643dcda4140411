#include "shell/settings/settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "shell/settings/z_anchor.h"

namespace kl::settings {
namespace {

namespace fs = std::filesystem;
using geo::DataType;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "kl_settings_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

void expectDefaults(const Settings& s) {
    ASSERT_EQ(s.layers.size(), 20u);
    for (const DataType t : geo::allDataTypes()) EXPECT_EQ(s.layers.at(t), defaultLayerName(t));
    EXPECT_EQ(s.basemap, "osm");
    EXPECT_FALSE(s.hasZAnchor);
    EXPECT_EQ(s.zAnchor, 0.0);
    EXPECT_FALSE(s.zAnchorSite.has_value());
}

TEST(Settings, DefaultLayersFollowTheTypeTable) {
    const Settings s = defaultSettings();
    EXPECT_EQ(s.layers.at(DataType::Parcels), "GIS_DZIALKI");
    EXPECT_EQ(s.layers.at(DataType::BuildingsFromSurfaceModel), "GIS_BUDYNKI_NMPT");
    EXPECT_EQ(s.layers.at(DataType::Contours2dFromCloud), "GIS_POZIOMICE_CHMURA_2D");
    EXPECT_EQ(s.layers.at(DataType::BuildingsReconstructed), "GIS_BUDYNKI_LOD2_REKON");
    EXPECT_EQ(s.layers.at(DataType::WaterFromCloud), "GIS_WODA_CHMURA");
    EXPECT_EQ(defaultLayerName(static_cast<DataType>(20)), "GIS_INNE");
}

struct HostileCase {
    const char* name;
    std::string text;
};

class HostileFile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, GivesTheDefaults) { expectDefaults(parseSettings(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(
    Settings, HostileFile,
    ::testing::Values(
        HostileCase{"empty", ""}, HostileCase{"truncated", "{\"layers\": {\"dzialki\": \"A\""},
        HostileCase{"array", "[{\"layers\": {}}]"}, HostileCase{"string", "\"layers\""},
        HostileCase{"number", "42"}, HostileCase{"null", "null"},
        HostileCase{"invalidUtf8", "{\"layers\": {\"dzialki\": \"\xC3\x28\xFF\"}, \"basemap\": \"orto\"}"},
        HostileCase{"bom_garbage", "\xEF\xBB\xBF\x01\x02{}"},
        HostileCase{"wrongKinds",
                    R"({"layers": {"dzialki": 5, "budynki": null, "mpzp": ["x"], "pog": {"a": 1}, "teren": true},
                        "basemap": 7, "zAnchor": "120.5"})"},
        HostileCase{"layersNotObject", R"({"layers": ["GIS_A", "GIS_B"], "basemap": {"x": 1}, "zAnchor": null})"},
        HostileCase{"badNames", R"({"layers": {"dzialki": "", "budynki": ")" + std::string(300, 'x') + R"("}})"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Settings, PartialFileTakesGoodEntriesAndKeepsDefaultsForTheRest) {
    const Settings s = parseSettings(R"({"layers": {"dzialki": 12, "budynki": "Moje budynki", "nieznany": "X"},
                                        "basemap": "orto", "inneKlucze": [1, 2]})");
    EXPECT_EQ(s.layers.at(DataType::Parcels), "GIS_DZIALKI");
    EXPECT_EQ(s.layers.at(DataType::Buildings), "Moje budynki");
    EXPECT_EQ(s.layers.at(DataType::ZoningPlans), "GIS_MPZP");
    EXPECT_EQ(s.basemap, "orto");
    EXPECT_FALSE(s.hasZAnchor);
}

TEST(Settings, WithoutAnchorSavingWritesNoAnchorKey) {
    const auto root = nlohmann::json::parse(serializeSettings(parseSettings("{}")));
    EXPECT_FALSE(root.contains("zAnchor"));
    EXPECT_FALSE(root.contains("zAnchorSurveyPoint"));
    EXPECT_EQ(root.at("layers").size(), 20u);
}

TEST(Settings, SavedTextIsIndentedUtf8InTypeOrder) {
    Settings s = defaultSettings();
    setLayer(s, DataType::Parcels, "Działki ąęść");
    const std::string text = serializeSettings(s);
    EXPECT_NE(text.find("\n  \"layers\": {\n    \"dzialki\": \"Działki ąęść\",\n    \"budynki\""), std::string::npos)
        << text;
    EXPECT_LT(text.find("\"wodachmura\""), text.find("\"basemap\""));
    EXPECT_LT(text.find("\"budynkirekon\""), text.find("\"wodachmura\""));
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

    const Settings back = loadSettings(file);
    ASSERT_EQ(back.layers.size(), 20u);
    EXPECT_EQ(back.layers, s.layers);
    EXPECT_EQ(back.basemap, "none");
    EXPECT_TRUE(back.hasZAnchor);
    EXPECT_DOUBLE_EQ(back.zAnchor, 84.625);
    ASSERT_TRUE(back.zAnchorSite.has_value());
    EXPECT_EQ(*back.zAnchorSite, *s.zAnchorSite);
    EXPECT_TRUE(anchorFor(back, AnchorSite{7501234.6, 5787654.0, 2178}).applies);
    EXPECT_FALSE(anchorFor(back, AnchorSite{7501234.5, 5787654.25, 2177}).applies);
}

TEST(Settings, MissingOrOversizedFileGivesDefaults) {
    TempFolder dir;
    expectDefaults(loadSettings(dir.path() / "brak.json"));
    expectDefaults(loadSettings(dir.path()));  // a folder, not a file

    // A valid object padded to 10 MB: never read into memory.
    const fs::path big = dir.path() / "big.json";
    std::string text = R"({"basemap": "orto", "pad": ")";
    text.append(10u << 20, 'a');
    text += "\"}";
    writeText(big, text);
    expectDefaults(loadSettings(big));
}

TEST(Settings, SaveReplacesTheFileAndLeavesNoTemporaries) {
    TempFolder dir;
    const fs::path file = dir.path() / "settings.json";
    writeText(file, "{\"basemap\": \"stare\"}");
    Settings s = defaultSettings();
    s.basemap = "orto";
    ASSERT_TRUE(saveSettings(s, file).ok);
    EXPECT_EQ(loadSettings(file).basemap, "orto");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Settings, SaveBelowARegularFileFailsWithAMessage) {
    TempFolder dir;
    writeText(dir.path() / "plik", "x");
    const auto r = saveSettings(defaultSettings(), dir.path() / "plik" / "settings.json");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(readText(dir.path() / "plik"), "x");
}

// A disk that fills up in the middle of the save: the write is cut short by
// the file-size limit (EFBIG), in a child process so the limit stays there.
TEST(Settings, InterruptedSaveLeavesTheOldFileIntact) {
    TempFolder dir;
    const fs::path file = dir.path() / "settings.json";
    Settings old = defaultSettings();
    old.basemap = "stare";
    ASSERT_TRUE(saveSettings(old, file).ok);
    const std::string before = readText(file);

    Settings big = defaultSettings();
    for (const DataType t : geo::allDataTypes()) setLayer(big, t, std::string(250, 'w'));
    ASSERT_GT(serializeSettings(big).size(), 4096u);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto r = saveSettings(big, file);
        std::_Exit(r.ok ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the cut-short save must report failure";
    EXPECT_EQ(readText(file), before);
    EXPECT_EQ(loadSettings(file).basemap, "stare");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file may stay behind";
}

TEST(Settings, PathIsUnderRoamingFolderAndIsCreated) {
    TempFolder dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", (dir.path() / "cfg").c_str(), 1);
    const fs::path p = settingsFilePath();
    if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(p, dir.path() / "cfg" / "KARTOLINK" / "settings.json");
    EXPECT_TRUE(fs::is_directory(dir.path() / "cfg" / "KARTOLINK"));
}

struct AnchorCase {
    const char* name;
    std::string file;
    AnchorSite project;
    bool applies;
    const char* note;  // part of the note to the user; empty: no note
};

class AnchorRule : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(AnchorRule, AppliesOnlyToItsOwnSurveyPoint) {
    const auto d = anchorFor(parseSettings(GetParam().file), GetParam().project);
    EXPECT_EQ(d.applies, GetParam().applies);
    const std::string note = GetParam().note;
    if (note.empty()) EXPECT_EQ(d.message, "");
    else EXPECT_NE(d.message.find(note), std::string::npos) << d.message;
    if (d.applies) {
        EXPECT_DOUBLE_EQ(d.height, 84.6);
    }
}

const std::string kAnchored = R"({"zAnchor": 84.6, "zAnchorSurveyPoint": {"e": 7500000, "n": 5780000, "epsg": 2178}})";

INSTANTIATE_TEST_SUITE_P(
    Settings, AnchorRule,
    ::testing::Values(
        AnchorCase{"sameSite", kAnchored, {7500000.3, 5779999.8, 2178}, true, ""},
        AnchorCase{"otherRegion", kAnchored, {5500000, 5900000, 2176}, false, "(84 m npm)"},  // whole metres
        AnchorCase{"tenMetresAway", kAnchored, {7500010, 5780000, 2178}, false, "84"},
        AnchorCase{"legacyWithoutSite", R"({"zAnchor": 84.6})", {7500000, 5780000, 2178}, false, "84"},
        AnchorCase{"siteOfTheWrongKind",
                   R"({"zAnchor": 84.6, "zAnchorSurveyPoint": {"e": "7500000", "n": 5780000, "epsg": 2178}})",
                   {7500000, 5780000, 2178}, false, "84"},
        AnchorCase{"noAnchor", "{}", {7500000, 5780000, 2178}, false, ""},
        AnchorCase{"zeroAnchor", R"({"zAnchor": 0})", {7500000, 5780000, 2178}, false, ""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kl::settings
