// The cloud pipeline against the local geoportal: index, tile downloads,
// decoding, cropping, E57 and LAZ output, cancel and broken tiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cloud/pipeline/cloud_download.h"
#include "net/service_hosts.h"
#include "net/wfs_client.h"
#include "cloud/las/las_bytes.h"
#include "tests/las/las_test_support.h"
#include "tests/cloud/demo_geoportal.h"
#include "tests/geodata/sample_files.h"
#include "tests/e57/e57_read_back.h"
#include "tests/support/full_disk.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

namespace fs = std::filesystem;
using namespace kl::cloud;
namespace demo = kl::geoportal::demo;

namespace {

using kl::geo::testing::readWholeFile;

class CloudDownloadDemo : public kl::cloud::test::DemoGeoportal {
protected:
    CloudDownloadRequest request(kl::cloudui::Detail detail = kl::cloudui::Detail::Full) const {
        CloudDownloadRequest r;
        r.frame = {demo::kMinEasting + 100, demo::kMinNorthing + 100, demo::kMinEasting + 400, demo::kMinNorthing + 300};
        r.detail = detail;
        r.placeEpsg = 2176;
        r.outputFile = (dir_ / "out" / "import.e57").string();
        r.currentYear = demo::kLidarYear;  // the walk back past a failing year has its own test
        return r;
    }

    CloudDownloadResult run(const CloudDownloadRequest& r, const CancelCheck& cancelled = [] { return false; }) {
        kl::net::WfsClient client(fast_, hosts());
        LidarResolver resolver(client);
        return runCloudDownload(r, resolver, [this](const CloudProgress& p) {
            labels_.push_back(p.label);
            percents_.push_back(p.pct);
        }, cancelled);
    }

    std::vector<std::string> labels_;
    std::vector<double> percents_;
    const kl::net::HttpTimings fast_{.retryDelayMs = 1};
};

}  // namespace

// The LAZ copy asked for holds the same points in the zone of the placement.
// The bar only moves forward, though each next tile downloads while the one
// before it is still being read.
TEST_F(CloudDownloadDemo, FrameBecomesOneCroppedCloud) {
    auto withLaz = request();
    withLaz.lazOutputFile = (dir_ / "out" / "import.laz").string();
    const auto r = run(withLaz);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_GT(r.tilesProcessed, 1);
    EXPECT_TRUE(std::is_sorted(percents_.begin(), percents_.end())) << ::testing::PrintToString(percents_);
    // 300 m x 200 m at 2 points per m2, give or take the generator's scatter.
    EXPECT_GT(r.count, 60'000);
    EXPECT_LT(r.count, 180'000);
    std::vector<E57Point> cloud;
    ASSERT_TRUE(readE57Points(r.filePath, &cloud));
    EXPECT_EQ(static_cast<int64_t>(cloud.size()), r.count);
    const auto laz = kl::las::test::decodeFile(r.lazPath);
    ASSERT_TRUE(laz.status.ok) << laz.status.message;
    EXPECT_EQ(static_cast<int64_t>(laz.header.pointCount), r.count);
    const auto* keys = laz.header.findVlr("LASF_Projection", 34735);
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(kl::las::loadLe<uint16_t>(keys->payload.data() + 30), 2176);
}

// Cancelled early, once a tile's points are being written or after the last
// tile was read, or over the point budget half way, with the next tile already decoding: no cloud and
// nothing half-written.
TEST_F(CloudDownloadDemo, CancelOrOverBudgetLeavesNoCloud) {
    auto probe = request();
    probe.outputFile = (dir_ / "probe" / "import.e57").string();
    const auto whole = run(probe);
    ASSERT_TRUE(whole.ok) << whole.message;
    ASSERT_GE(whole.tilesProcessed, 3);  // so the budget ends a tile that is not the last
    auto halfBudget = request();
    halfBudget.budget = whole.count / 2;
    const struct {
        CloudDownloadRequest request;
        std::function<bool(const std::vector<std::string>&, int)> cancelWhen;
        const char* message;
    } cases[] = {
        {request(), [](const std::vector<std::string>&, int calls) { return calls > 20; }, "Anulowano."},
        {request(),
         [](const std::vector<std::string>& labels, int) {
             return std::find(labels.begin(), labels.end(), "Przetwarzanie kafli LiDAR") != labels.end();
         },
         "Anulowano."},
        {request(),
         [&whole](const std::vector<std::string>& labels, int) {
             return std::count(labels.begin(), labels.end(), "Przetwarzanie kafli LiDAR") == whole.tilesTotal;
         },
         "Anulowano."},
        {halfBudget, [](const std::vector<std::string>&, int) { return false; },
         "Za duzo punktow - zmniejsz kadr lub obniz jakosc."},
    };
    for (const auto& c : cases) {
        int calls = 0;
        labels_.clear();
        const auto r = run(c.request, [&] { return c.cancelWhen(labels_, ++calls); });
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, c.message);
        EXPECT_FALSE(fs::exists(dir_ / "out" / "import.e57"));
        for (const auto& e : fs::recursive_directory_iterator(dir_, fs::directory_options::skip_permission_denied))
            EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << "half-written " << e.path();
    }
}

TEST_F(CloudDownloadDemo, IndexIsReadWholeHoweverTheServerPagesIt) {
    const kl::geo::Bbox whole{demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing};
    const struct {
        long long maxFeatures;
        bool matchedUnknown;
    } rows[] = {{5000, false}, {5, false}, {5, true}, {1, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.maxFeatures) + (row.matchedUnknown ? " unknown" : ""));
        auto config = demoConfig();
        config.maxFeatures = row.maxFeatures;
        config.matchedUnknown = row.matchedUnknown;
        server_->setConfig(config);
        kl::net::WfsClient client(fast_, hosts());
        const auto q = LidarResolver(client).query(whole, demo::kLidarLastOfferedYear);
        EXPECT_EQ(q.tiles.size(), static_cast<size_t>(demo::kLidarSheets));
        EXPECT_EQ(q.warning, "");
        std::vector<std::string> names;
        for (const auto& t : q.tiles) names.push_back(t.godlo);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::unique(names.begin(), names.end()), names.end()) << "a tile came twice";
    }
}

// A failed index is never taken for an area without data: which answers are whole is
// the sheet index table's to check, the message of a failed one the controller test's.
TEST_F(CloudDownloadDemo, AnAreaWithoutDataAndAFailedNewerYearAreSaid) {
    // Layers that are not offered (next year's, refused with 400) and empty
    // ones are an area without data.
    auto config = demoConfig();
    config.lidarErrorYear = 0;
    server_->setConfig(config);
    auto empty = request();
    empty.frame = {demo::kMinEasting - 5000, demo::kMinNorthing - 5000, demo::kMinEasting - 4000, demo::kMinNorthing - 4000};
    EXPECT_EQ(run(empty).message, "Brak danych LiDAR dla tego obszaru.");
    // A newer year that failed before an older one answered is said, though
    // the cloud of the older year is whole.
    config.lidarErrorYear = demo::kLidarErrorYear;
    server_->setConfig(config);
    auto walk = request();
    walk.currentYear = demo::kLidarLastOfferedYear;
    const auto older = run(walk);
    ASSERT_TRUE(older.ok) << older.message;
    EXPECT_EQ(partialCloudNote(older), "");
    ASSERT_EQ(older.warnings.size(), 1u);
    EXPECT_NE(older.warnings[0].find("(rok " + std::to_string(demo::kLidarErrorYear) + ": "), std::string::npos);
    EXPECT_NE(older.warnings[0].find("uzyto danych z roku " + std::to_string(demo::kLidarYear)), std::string::npos)
        << older.warnings[0];
}

// Faults on the tile downloads: a damaged cached tile is fetched again, a failed
// download is tried once more, a cut answer never enters the cache, and whatever
// is still lost is counted.
TEST_F(CloudDownloadDemo, TileFaultsCostNothingOrAreCounted) {
    const auto all = run(request());
    ASSERT_TRUE(all.ok) << all.message;
    EXPECT_EQ(all.tilesProcessed, all.tilesTotal);
    EXPECT_EQ(partialCloudNote(all), "");
    // A damaged tile in the cache is fetched again.
    size_t damaged = 0;
    for (const auto& e : fs::directory_iterator(dir_ / "cache" / "KARTOLINK" / "cache"))
        if (e.path().extension() == ".zip") {
            fs::resize_file(e.path(), fs::file_size(e.path()) / 2);
            ++damaged;
        }
    ASSERT_GT(damaged, 0u);
    server_->log().clear();
    const auto refetched = run(request());
    ASSERT_TRUE(refetched.ok) << refetched.message;
    EXPECT_TRUE(refetched.warnings.empty()) << refetched.warnings.front();
    EXPECT_EQ(refetched.count, all.count);
    const auto log = server_->log().snapshot();
    const auto isTile = [](const auto& e) { return e.path.rfind(demo::kLidarTilePathPrefix, 0) == 0; };
    EXPECT_EQ(static_cast<size_t>(std::count_if(log.begin(), log.end(), isTile)), damaged);
    const struct {
        kl::geoportal::FaultKind kind;
        int times;
        bool skipped;
    } rows[] = {
        {kl::geoportal::FaultKind::Truncate, 1, false},
        {kl::geoportal::FaultKind::Cut, 1, false},
        {kl::geoportal::FaultKind::Truncate, 2, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(kl::geoportal::faultName({row.kind}) + " x" + std::to_string(row.times));
        fs::remove_all(dir_ / "cache");
        kl::geoportal::FaultRule rule;
        rule.fault.kind = row.kind;
        rule.pathPrefix = std::string(demo::kLidarTilePathPrefix);
        rule.remaining = row.times;
        server_->faults().add(rule);
        const auto r = run(request());
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.tilesTotal, all.tilesTotal);
        if (!row.skipped) {
            EXPECT_EQ(r.count, all.count);
            EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
            continue;
        }
        ASSERT_EQ(r.warnings.size(), 1u);
        EXPECT_NE(r.warnings[0].find("pominiety"), std::string::npos);
        EXPECT_LE(r.count, all.count);
        EXPECT_EQ(partialCloudNote(r), "Uwaga: chmura niepelna - uzyto " + std::to_string(all.tilesTotal - 1) + " z " +
                                           std::to_string(all.tilesTotal) + " kafli LiDAR.");
        // Nothing half was cached: the next run has every tile again.
        EXPECT_EQ(run(request()).count, all.count);
    }
}

// The disk fills while a tile is cached; the E57 writer's own test fills it
// while the cloud is written.
TEST_F(CloudDownloadDemo, FullDiskEndsTheRunAndKeepsThePreviousCloud) {
    const auto first = run(request());
    ASSERT_TRUE(first.ok) << first.message;
    const std::string before = readWholeFile(first.filePath);
    fs::remove_all(dir_ / "cache");
    // A file-size limit makes the disk look full once a file passes 64 KiB.
    EXPECT_TRUE(kl::test::holdsWhenDiskFills(64 * 1024, [&] {
        const auto r = run(request());
        return !r.ok && r.message == "Blad zapisu na dysk - sprawdz wolne miejsce.";
    }));
    EXPECT_EQ(readWholeFile(first.filePath), before);
    for (const auto& e : fs::directory_iterator(dir_ / "out")) EXPECT_EQ(e.path().extension(), ".e57") << e.path();
}

// An E57 or LAZ place that cannot be written fails the download; the E57 of
// an earlier run stays as it was: the pair changes together or not at all.
TEST_F(CloudDownloadDemo, AnOutputThatCannotBeWrittenFailsTheDownload) {
    fs::create_directories(dir_ / "out");
    std::ofstream(dir_ / "out" / "file") << "not a folder";
    std::ofstream(dir_ / "out" / "import.e57") << "earlier cloud";
    auto underAFile = request(kl::cloudui::Detail::Lekki), sameAsE57 = underAFile;
    underAFile.outputFile = (dir_ / "out" / "file" / "import.e57").string();
    sameAsE57.lazOutputFile = sameAsE57.outputFile;
    const std::pair<CloudDownloadRequest, std::string> rows[] = {
        {underAFile, "Blad zapisu E57: Nie mozna zapisac pliku e57."}, {sameAsE57, "Blad zapisu LAZ: "}};
    for (const auto& [req, message] : rows) {
        SCOPED_TRACE(message + req.lazOutputFile);
        const auto r = run(req);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message.rfind(message, 0), 0u) << r.message;
        EXPECT_TRUE(r.lazPath.empty());
        for (const auto& e : fs::recursive_directory_iterator(dir_ / "out"))
            EXPECT_TRUE(e.path().extension() != ".tmp" && e.path().extension() != ".laz") << e.path();
    }
    EXPECT_EQ(readWholeFile((dir_ / "out" / "file").string()), "not a folder");
    EXPECT_EQ(readWholeFile((dir_ / "out" / "import.e57").string()), "earlier cloud");
}
