// kartolink-import end to end in demo mode: the DXF it writes is read by
// GDAL's ogrinfo with as many features as the project holds drawn elements.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "tools/import/dxf_writer.h"

namespace {

namespace fs = std::filesystem;

struct CommandRun {
    int status = -1;
    std::string out;
};

CommandRun run(const std::string& command) {
    CommandRun r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.out.append(buf.data(), n);
    r.status = ::pclose(pipe);
    return r;
}

class BatchCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kl-batch-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        env_ = "XDG_CACHE_HOME=" + (dir_ / "cache").string() + " XDG_CONFIG_HOME=" + (dir_ / "config").string() +
               " KL_DIAG_DIR=" + (dir_ / "diag").string() + " ";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    CommandRun importer(const std::string& args) {
        return run(env_ + KL_BINARY_DIR "/tools/import/kartolink-import " + args);
    }
    static int featureCount(const std::string& ogrinfoOutput) {
        std::smatch m;
        static const std::regex re("Feature Count: ([0-9]+)");
        return std::regex_search(ogrinfoOutput, m, re) ? std::stoi(m[1]) : -1;
    }
    fs::path dir_;
    std::string env_;
};

TEST_F(BatchCommand, DemoSiteDxfIsReadByOgrinfoWithTheSameCounts) {
    const fs::path json = dir_ / "site.json";
    const CommandRun r = importer("--demo --demo-frame --layers dzialki,budynki,gesut --out " + json.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("placed dzialki 170"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("placed budynki 166"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("placed gesut 332"), std::string::npos) << r.out;

    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("dxf entities ([0-9]+)")));
    const int written = std::stoi(m[1]);
    const fs::path dxf = dir_ / "site.dxf";
    ASSERT_TRUE(fs::exists(dxf));
    ASSERT_TRUE(fs::exists(json));
    EXPECT_EQ(featureCount(run("ogrinfo -ro -so -al " + dxf.string()).out), written);

    // Per layer: every element of the project has its DXF feature.
    std::map<std::string, int> perLayer;
    static const std::regex element("elements (\\S+) (\\S+) ([0-9]+)");
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), element); it != std::sregex_iterator(); ++it)
        perLayer[(*it)[1]] += std::stoi((*it)[3]);
    ASSERT_EQ(perLayer.size(), 3u);
    for (const auto& [layer, count] : perLayer) {
        const int read = featureCount(run("ogrinfo -ro -so -al -where \"Layer='" + layer + "'\" " + dxf.string()).out);
        EXPECT_GE(read, count) << layer;  // a fill with holes becomes one outline per ring
    }
    EXPECT_EQ(featureCount(run("ogrinfo -ro -so -al -where \"Layer='GIS_GESUT'\" " + dxf.string()).out),
              perLayer["GIS_GESUT"]);
}

TEST_F(BatchCommand, BodyFacesAreReadByOgrinfoOneFeatureEachWithTheirHeights) {
    using kl::tools::DxfEntity;
    const std::vector<DxfEntity> faces = {
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_LOD2", {{0, 0}, {4, 0}, {4, 3}}, false, {}, 1, 0, 0, {20, 20, 26.5}},
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_LOD2", {{0, 0}, {4, 0}, {4, 0}, {0, 0}}, false, {}, 1, 0, 0, {20, 20, 26, 26}},
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_3D", {{0, 0}, {4, 0}, {4, 3}}, false, {}, 1, 0, 0, {20}},  // heights missing: left out
    };
    const fs::path dxf = dir_ / "faces.dxf";
    std::ofstream(dxf) << kl::tools::dxfDocument(faces);
    const CommandRun info = run("ogrinfo -ro -al " + dxf.string());
    EXPECT_EQ(featureCount(info.out), 2) << info.out;
    EXPECT_NE(info.out.find("26.5"), std::string::npos) << info.out;
}

TEST_F(BatchCommand, RefusedFramesWriteNothing) {
    const fs::path json = dir_ / "bad.json";
    for (const std::string frame : {"15.6,51.2,15.5,51.3", "2.30,48.80,2.35,48.85", "15,51,16"}) {
        const CommandRun r = importer("--demo --frame " + frame + " --layers dzialki --out " + json.string());
        EXPECT_NE(r.status, 0) << frame << ": " << r.out;
        EXPECT_FALSE(fs::exists(json));
        EXPECT_FALSE(fs::exists(dir_ / "bad.dxf"));
    }
}

TEST_F(BatchCommand, ArgumentsAndOutputPathsAreCheckedBeforeAnyWork) {
    const std::string json = (dir_ / "out.json").string();
    struct Case {
        std::string args;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {"--help", 0, "uzycie: kartolink-import"},
        {"--demo-frame --layers dzialki --out " + json + " --timeout x", 2, "--timeout wymaga liczby"},
        {"--demo-frame --layers dzialki --out " + json + " --timeout 99999999999", 2, "--timeout wymaga liczby"},
        {"--demo-frame --layers dzialki --out " + json + " --bogus", 2, "nieznany lub niepelny argument: --bogus"},
        {"--demo-frame --out " + json, 2, "brak --layers"},
        {"--demo --demo-frame --layers dzialki --out " + (dir_ / "missing" / "a.json").string(), 1, "nie istnieje"},
        {"--demo --demo-frame --layers dzialki --out " + dir_.string(), 1, "jest folderem"},
        {"--demo --demo-frame --layers dzialki --out " + json + " --dxf " + (dir_ / "no" / "a.dxf").string(), 1,
         "nie istnieje"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CommandRun r = importer(c.args);
        EXPECT_EQ(WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1, c.exitCode) << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Geoportal:"), std::string::npos) << "no work starts before the checks";
        EXPECT_FALSE(fs::exists(json));
    }
}

}  // namespace
