// kartolink-import and the DXF it writes, read back by GDAL's ogrinfo: plain
// R12 entities, contours and meshes on their layers, and the demo site with as
// many features as the project holds drawn elements.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <regex>
#include <string>

#include "host/core/workbench.h"
#include "placement/place_command.h"
#include "shell/settings/settings.h"
#include "tests/support/command_output.h"
#include "tests/support/scratch_folder.h"
#include "tools/import/addon_binding.h"
#include "tools/import/dxf_writer.h"
#include "tools/import/project_drawing.h"

namespace kl::tools {
namespace {

namespace fs = std::filesystem;
using test::CommandRun;
using test::runCommand;

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string ogrinfo(const std::string& args) { return runCommand("ogrinfo -ro " + args + " 2>&1").out; }

int featureCount(const std::string& ogrinfoOutput) {
    std::smatch m;
    static const std::regex re("Feature Count: ([0-9]+)");
    return std::regex_search(ogrinfoOutput, m, re) ? std::stoi(m[1]) : -1;
}

// A private folder for what the test writes.
class Dxf : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("KL_DIAG_DIR", (dir_ / "diag").c_str(), 1); }
    void TearDown() override { ::unsetenv("KL_DIAG_DIR"); }
    test::ScratchFolder scratch_{"kl-batch"};
    const fs::path dir_ = scratch_.path();
};

TEST_F(Dxf, EntitiesLayersNumbersAndTextInPlainR12ReadByOgrinfo) {
    const std::vector<DxfEntity> e = {
        {DxfEntity::Kind::Polyline, "GIS_DZIALKI", {{0.5, 1.25}, {10, 1.25}, {10, 8}}, true, {}, 1},
        {DxfEntity::Kind::Polyline, "GIS_GESUT", {{0, 0}, {3, 4}}, false, {}, 1},
        {DxfEntity::Kind::Text, "GIS_DZIALKI", {{5, 5}}, false, "123/4", 0.75},
        // A contour at its level's height and its label turned upright.
        {DxfEntity::Kind::Polyline, "GIS_POZIOMICE_2D", {{0, 0}, {1, 1}}, false, {}, 1, 0, 7.25},
        {DxfEntity::Kind::Text, "GIS_POZIOMICE_2D", {{1, 2}}, false, "7", 2, std::numbers::pi / 2, 7.25},
        // a triangle of a body: its third corner again as the fourth
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_LOD2", {{0, 0}, {4, 0}, {4, 3}}, false, {}, 1, 0, 0, {20, 20, 26.5}},
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_LOD2", {{0, 0}, {4, 0}, {4, 0}, {0, 0}}, false, {}, 1, 0, 0, {20, 20, 26, 26}},
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_LOD2", {{0, 0}, {4, 0}, {4, 3}}, false, {}, 1, 0, 0, {20}},  // heights missing: left out
    };
    const std::string d = dxfDocument(e);
    EXPECT_NE(d.find("$ACADVER\n1\nAC1009\n"), std::string::npos);
    EXPECT_EQ(count(d, "\n0\nLAYER\n"), 4);
    EXPECT_NE(d.find("0\n3DFACE\n8\nGIS_BUDYNKI_LOD2\n10\n0.0000\n20\n0.0000\n30\n20.0000\n11\n4.0000\n21\n0.0000\n31\n"
                     "20.0000\n12\n4.0000\n22\n3.0000\n32\n26.5000\n13\n4.0000\n23\n3.0000\n33\n26.5000\n"),
              std::string::npos);
    EXPECT_EQ(count(d, "\n0\nPOLYLINE\n"), 3);
    EXPECT_EQ(count(d, "30\n7.2500\n"), 4);  // the polyline, its two vertices, the label
    EXPECT_NE(d.find("1\n7\n50\n90.0000\n"), std::string::npos);
    EXPECT_NE(d.find("0\nTEXT\n8\nGIS_DZIALKI\n10\n5.0000\n20\n5.0000\n30\n0.0000\n40\n0.7500\n1\n123/4\n"),
              std::string::npos);
    // Decimal points whatever the locale (the tests run under pl_PL).
    EXPECT_NE(d.find("10\n0.5000\n20\n1.2500\n"), std::string::npos);
    EXPECT_EQ(d.find(','), std::string::npos);
    EXPECT_NE(dxfDocument({{DxfEntity::Kind::Text, "T", {{-1e30, 0}}, false, "x", 1}})
                  .find("\n10\n-1000000000000000019884624838656.0000\n20\n"),
              std::string::npos);
    EXPECT_EQ(d.substr(d.size() - 7), "\n0\nEOF\n");
    EXPECT_EQ(dxfText("\xC5\x81\xC3\xB3""d\xC5\xBA 12/3"), "\\U+0141\\U+00F3d\\U+017A 12/3");
    EXPECT_EQ(dxfText("a\nb"), "a b");  // a line break would end the group value
    // GDAL reads each body face as one feature.
    const fs::path dxf = dir_ / "entities.dxf";
    std::ofstream(dxf) << d;
    EXPECT_EQ(featureCount(ogrinfo("-so -al -where \"Layer='GIS_BUDYNKI_LOD2'\" " + dxf.string())), 2);
}

// Contours drawn, labelled and meshed, and one terrain tile, placed into a
// workbench project: GDAL reads every line, label and outline on its layer,
// the level lines at their heights above the project's zero.
TEST_F(Dxf, ContoursAndMeshesAreReadByOgrinfoOnTheirLayers) {
    host::Workbench wb;
    bindAddonToHost(&host::Workbench::hostTable());
    placement::GroundInput ground;
    placement::MeshGrid tile{placement::cornersOf(0, 0, 2, 2), {}};
    for (double y : {0.0, 1.0, 2.0})
        for (double x : {0.0, 1.0, 2.0}) tile.points.push_back({x, y, 100.0 + x});
    ground.tiles = {tile};
    ground.tileBaseHeight = 100.0;
    ground.contours.contours = {{105, true, {{40, 5}, {0, 5}}},
                                {104, false, {{10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}}},
                                {104.5, false, {{30, 30}, {30.5, 30}}}};
    ground.contours.frame = placement::cornersOf(0, 0, 50, 50);
    ground.contours.lines = ground.contours.mesh = true;
    ground.contours.baseHeight = 100.0;
    const auto placed = placement::runPlaceCommand(&host::Workbench::hostTable(), {}, {}, settings::defaultSettings(), {},
                                                2180, {}, ground);
    bindAddonToHost(nullptr);
    ASSERT_TRUE(placed.ok()) << placed.result.error;

    std::map<std::string, int> elements;
    const std::vector<DxfEntity> drawing = drawingOf(wb.project(), elements);
    const auto dxf = dir_ / "drawing.dxf";
    std::ofstream(dxf, std::ios::binary) << dxfDocument(drawing);

    const std::pair<const char*, int> perLayer[] = {
        {"GIS_POZIOMICE_2D", 4}, {"GIS_POZIOMICE_3D", 3}, {"GIS_TEREN", 1}};  // the 3D mesh: outline and 2 level lines
    for (const auto& [layer, count] : perLayer)
        EXPECT_EQ(featureCount(ogrinfo("-so -al -where \"Layer='" + std::string(layer) + "'\" " + dxf.string())), count)
            << layer;
    const std::string levels = ogrinfo("-al -where \"Layer='GIS_POZIOMICE_3D'\" " + dxf.string());
    EXPECT_NE(levels.find("LINESTRING Z (40 5 5,0 5 5)"), std::string::npos) << levels;
    EXPECT_NE(levels.find("10 10 4,20 10 4"), std::string::npos) << levels;
}

class BatchCommand : public Dxf {
protected:
    CommandRun importer(const std::string& args) {
        return runCommand("XDG_CACHE_HOME=" + (dir_ / "cache").string() + " XDG_CONFIG_HOME=" +
                          (dir_ / "config").string() + " " KL_BINARY_DIR "/tools/import/kartolink-import " + args + " 2>&1");
    }
};

TEST_F(BatchCommand, DemoSiteDxfIsReadByOgrinfoWithTheSameCounts) {
    const fs::path json = dir_ / "site.json";
    const CommandRun r = importer("--demo --demo-frame --layers dzialki,budynki,gesut --out " + json.string());
    ASSERT_EQ(r.status, 0) << r.out;

    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("dxf entities ([0-9]+)")));
    const int written = std::stoi(m[1]);
    const fs::path dxf = dir_ / "site.dxf";
    ASSERT_TRUE(fs::exists(json));
    EXPECT_EQ(featureCount(ogrinfo("-so -al " + dxf.string())), written);

    // Per layer: every element of the project has its DXF feature.
    std::map<std::string, int> perLayer;
    static const std::regex element("elements (\\S+) (\\S+) ([0-9]+)");
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), element); it != std::sregex_iterator(); ++it)
        perLayer[(*it)[1]] += std::stoi((*it)[3]);
    ASSERT_EQ(perLayer.size(), 3u);
    for (const auto& [layer, count] : perLayer) {
        const int read = featureCount(ogrinfo("-so -al -where \"Layer='" + layer + "'\" " + dxf.string()));
        EXPECT_GE(read, count) << layer;  // a fill with holes becomes one outline per ring
    }
    EXPECT_EQ(featureCount(ogrinfo("-so -al -where \"Layer='GIS_GESUT'\" " + dxf.string())),
              perLayer["GIS_GESUT"]);
}

// Arguments and output paths are checked before any work; a refused frame
// once the services are known. Nothing is written either way.
TEST_F(BatchCommand, RefusalsWriteNothing) {
    const std::string json = (dir_ / "out.json").string();
    const std::string frame = "--demo --layers dzialki --out " + json + " --frame ";
    fs::create_directory(dir_ / "blocked.dxf");
    struct Case {
        std::string args;
        int exitCode;
        const char* says;
        bool beforeAnyWork = true;
    };
    const Case cases[] = {
        {"--help", 0, "uzycie: kartolink-import"},
        {frame + "15,51,16", 2, "--frame wymaga czterech liczb W,S,E,N"},
        {frame + "15.6,51.2,15.5,51.3", 1, "Nieprawidlowy bbox: kadr ma zerowy lub ujemny rozmiar.", false},
        {frame + "2.30,48.80,2.35,48.85", 1, "Srodek mapy lezy poza Polska", false},
        {"--demo-frame --layers dzialki --out " + json + " --timeout x", 2, "--timeout wymaga liczby"},
        {"--demo-frame --layers dzialki --out " + json + " --timeout 99999999999", 2, "--timeout wymaga liczby"},
        {"--demo-frame --layers dzialki --out " + json + " --bogus", 2, "nieznany lub niepelny argument: --bogus"},
        {"--demo-frame --out " + json, 2, "brak --layers"},
        {"--demo --demo-frame --layers dzialki --out " + (dir_ / "missing" / "a.json").string(), 1, "nie istnieje"},
        {"--demo --demo-frame --layers dzialki --out " + dir_.string(), 1, "jest folderem"},
        {"--demo --demo-frame --layers dzialki --out " + (dir_ / "blocked.json").string(), 1, "blocked.dxf jest folderem"},
        {"--demo --demo-frame --layers dzialki --out " + (dir_ / "out.dxf").string(), 2, "plik DXF musi byc inny"},
        {"--demo --demo-frame --layers dzialki --out " + json + " --dxf " + (dir_ / "." / "out.json").string(), 2,
         "plik DXF musi byc inny"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CommandRun r = importer(c.args);
        EXPECT_EQ(WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1, c.exitCode) << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Geoportal:") == std::string::npos, c.beforeAnyWork);
        EXPECT_FALSE(fs::exists(json));
        EXPECT_FALSE(fs::exists(dir_ / "out.dxf"));
    }
}

}  // namespace
}  // namespace kl::tools
