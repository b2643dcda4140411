// Unpacking the page files and the address the browser gets.
#include "shell/web_resources.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <tuple>

#include "shell/palettes.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/full_disk.h"

namespace kl::test {
namespace {

namespace fs = std::filesystem;
using kl::shell::MapPalette;

class WebResourcesTest : public ShellTest {
protected:
    WebResourcesTest() { initialize = false; }

    kl::shell::WebExtraction extractMap() {
        const auto& t = MapPalette::paletteTraits();
        return kl::shell::extractWebResources({t.className, t.folderName, t.reportPrefix, t.resources});
    }
    fs::path webDir() const { return tempDir / "KARTOLINK" / "web"; }
    std::vector<std::string> files() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(webDir())) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

// The page files in the module's resource table and where each comes from;
// the map palette's are those below 200.
const std::string kWeb = KL_SOURCE_DIR "/shell/web/", kModules = KL_SOURCE_DIR "/node_modules/";
const std::vector<std::tuple<int32_t, std::string, std::string>> kPageFiles = {
    {100, "map.html", kWeb}, {101, "map.js", kWeb}, {102, "map.css", kWeb}, {103, "address.js", kWeb},
    {104, "mapview.js", kWeb}, {105, "settings.js", kWeb}, {120, "bridge.js", kWeb},
    {110, "leaflet.js", kModules + "leaflet/dist/"}, {111, "leaflet.css", kModules + "leaflet/dist/"},
    {112, "maplibre-gl.js", kModules + "maplibre-gl/dist/"}, {113, "maplibre-gl.css", kModules + "maplibre-gl/dist/"},
    {114, "leaflet-maplibre-gl.js", kModules + "@maplibre/maplibre-gl-leaflet/"},
    {200, "cloud.html", kWeb}, {201, "cloud.js", kWeb}, {202, "cloud.css", kWeb}};

TEST(AddonModule, ExportsOnlyTheEntryPointsAndCarriesThePageFilesByteForByte) {
    void* module = dlopen(KL_ADDON_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    for (const char* name : {"CheckEnvironment", "RegisterInterface", "Initialize", "FreeData", "KlResourceTable"})
        EXPECT_NE(dlsym(module, name), nullptr) << name;
    for (const char* hidden : {"_ZN2kl6Bridge9onMessageESt17basic_string_viewIcSt11char_traitsIcEE",
                               "_ZN2kl4hostEv", "_ZN2kl7setHostEPK15KlHostFunctions"})
        EXPECT_EQ(dlsym(module, hidden), nullptr) << hidden;
    std::map<int32_t, std::string> carried;
    for (const KlResource* r = addonResources(); r->type != 0; ++r)
        if (r->type == KL_RES_DATA) carried[r->id] = bytesOf(*r);
    for (const auto& [id, name, folder] : kPageFiles) EXPECT_EQ(carried[id], readWholeFile(folder + name)) << name;
}

// Each entry's log line is read by the table of entries that end the extraction.
TEST_F(WebResourcesTest, WritesEveryFileCompletelyEachTime) {
    const auto result = extractMap();
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.webDir, webDir());
    std::size_t mapFiles = 0;
    for (const auto& [id, name, folder] : kPageFiles) {
        if (id >= 200) continue;
        ++mapFiles;
        EXPECT_EQ(readWholeFile(webDir() / name), bytesOf(*resource(id))) << name;
    }
    EXPECT_EQ(files().size(), mapFiles) << "no temporary names left behind";
    EXPECT_TRUE(host.reports().empty());
    // Every extraction writes the files again, and leaves alone what another
    // instance of the host is writing there at the same time.
    static constexpr unsigned char kChanged[] = "var changed = 1;";
    resource(101)->data = kChanged;
    resource(101)->size = sizeof kChanged - 1;
    // The leftover of one that was killed is removed.
    const std::string running = "map.js." + std::to_string(::getppid()) + ".1.part";
    std::ofstream(webDir() / running) << "var half";
    std::ofstream(webDir() / "map.js.999999999.1.part") << "var killed";
    ASSERT_TRUE(extractMap().ok);
    EXPECT_EQ(readWholeFile(webDir() / "map.js"), "var changed = 1;");
    EXPECT_EQ(readWholeFile(webDir() / running), "var half");
    EXPECT_FALSE(fs::exists(webDir() / "map.js.999999999.1.part"));
}

// A page file that cannot be written, or is missing from the module, ends the
// extraction at its entry: the files before it are whole, nothing after it is
// tried, nothing is left half-written, and a failed write is reported.
TEST_F(WebResourcesTest, AFileThatCannotBeWrittenOrIsMissingEndsTheExtractionThere) {
    constexpr rlim_t kLimit = 256 * 1024;  // a real short write: only the map library is larger
    ASSERT_GT(resource(112)->size, kLimit);
    const auto size = [this](int32_t id) { return std::to_string(resource(id)->size) + "B"; };
    using Extraction = std::function<bool()>;
    const struct {
        const char* name;
        int32_t id;
        std::function<bool(const Extraction&)> fail;
        std::vector<std::string> logged;
    } cases[] = {
        {"a folder in the way", 102,
         [&](const Extraction& run) { return fs::create_directories(webDir() / "map.css" / "x") && run(); },
         {"id=102 file=map.css res=" + size(102) + " open=0 disk=", "ZAPIS NIEUDANY id=102 -> przerywam\n"}},
        {"a disk that fills up", 112, [](const Extraction& run) { return kl::test::holdsWhenDiskFills(kLimit, run); },
         {"id=112 file=maplibre-gl.js res=" + size(112) + " open=1 disk=" + std::to_string(kLimit) + "B",
          "ZAPIS NIEUDANY id=112 -> przerywam\n"}},
        {"a missing resource", 101, [&](const Extraction& run) { dropResource(101); return run(); },
         {"RSLoadResource NULL id=101 file=map.js\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(webDir());
        fs::remove(diagDir / "ordvik_web_diag.txt");
        std::vector<std::string> reports = host.reports();
        if (c.id != 101)
            reports.push_back("KARTOLINK: nie udalo sie zapisac zasobow web na dysku (paleta bylaby pusta).");
        EXPECT_TRUE(c.fail([&] { return !extractMap().ok && host.reports() == reports; }));
        const std::string log = diagLog();
        for (const std::string& line : c.logged) EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
        size_t at = 0;
        while (std::get<0>(kPageFiles[at]) != c.id) ++at;
        for (size_t i = 0; i < kPageFiles.size() && std::get<0>(kPageFiles[i]) < 200; ++i) {
            const auto& [id, name, folder] = kPageFiles[i];
            EXPECT_TRUE(i >= at || readWholeFile(webDir() / name) == bytesOf(*resource(id))) << name;
            EXPECT_TRUE(i <= at || log.find("id=" + std::to_string(id) + " ") == std::string::npos) << name << " tried";
        }
        const fs::path failed = webDir() / std::get<1>(kPageFiles[at]);
        EXPECT_FALSE(fs::is_regular_file(failed)) << "complete or absent";
        EXPECT_EQ(files().size(), at + (fs::exists(failed) ? 1 : 0)) << "no temporary names left behind";
    }
}

TEST(PageAddress, EncodesEverySegmentAndHasThreeSlashes) {
    const struct {
        const char *dir, *page, *expected;
    } cases[] = {
        {"C:/Users/u/AppData/Local/Temp/KARTOLINK/web", "map.html",
         "file:///C:/Users/u/AppData/Local/Temp/KARTOLINK/web/map.html"},
        {"/tmp/a b/KARTOLINK/web", "map.html", "file:///tmp/a%20b/KARTOLINK/web/map.html"},
        {"/tmp/#1 100%/web", "cloud.html", "file:///tmp/%231%20100%25/web/cloud.html"},
        {"/home/zażółć/Gęślą jaźń/web", "map.html",
         "file:///home/za%C5%BC%C3%B3%C5%82%C4%87/G%C4%99%C5%9Bl%C4%85%20ja%C5%BA%C5%84/web/map.html"},
        {"/tmp//double/web/", "map.html", "file:///tmp/double/web/map.html"},
        {"/tmp/a?b&c=d;e/web", "map.html", "file:///tmp/a%3Fb%26c%3Dd%3Be/web/map.html"},
        {"/tmp/back\\slash/web", "map.html", "file:///tmp/back%5Cslash/web/map.html"},
    };
    for (const auto& c : cases) EXPECT_EQ(kl::shell::pageAddress(c.dir, c.page), c.expected) << c.dir;
}

TEST_F(WebResourcesTest, TheWorkingFolderIsPrivateAndAPlantedLinkIsNotFollowed) {
    const fs::path cache = tempDir / "cache", elsewhere = tempDir / "elsewhere";
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    struct Case {
        const char* name;
        bool plantLink;
        fs::path expected;
    };
    const Case cases[] = {
        {"left_open", false, tempDir / "KARTOLINK" / "web"},
        {"planted_link", true, cache / "kartolink" / "tmp" / "KARTOLINK" / "web"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(tempDir / "KARTOLINK");
        fs::create_directories(elsewhere);
        if (c.plantLink) fs::create_directory_symlink(elsewhere, tempDir / "KARTOLINK");
        if (std::string(c.name) == "left_open") {
            fs::create_directory(tempDir / "KARTOLINK");
            ::chmod((tempDir / "KARTOLINK").c_str(), 0777);
        }
        const auto result = extractMap();
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.webDir, c.expected);
        struct stat st {};
        ASSERT_EQ(::lstat(c.expected.parent_path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
    unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace kl::test
