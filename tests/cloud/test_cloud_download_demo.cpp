// The cloud pipeline against the local geoportal: index, tile downloads,
// decoding, cropping, E57 and LAZ output, cancel and broken tiles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>

#include "cloud/pipeline/cloud_download.h"
#include "geodata/polish_crs.h"
#include "net/service_hosts.h"
#include "net/wfs_client.h"
#include "tests/las/las_test_support.h"
#include "tests/cloud/demo_geoportal.h"
#include "tests/e57/e57_read_back.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

namespace fs = std::filesystem;
using namespace kl::cloud;
namespace demo = kl::geoportal::demo;

namespace {

class CloudDownloadDemo : public ::testing::Test {
protected:
    void SetUp() override {
        geoportal_ = std::make_unique<kl::cloud::test::DemoGeoportal>("kl_cloud_demo");
        ASSERT_TRUE(geoportal_->started());
        dir_ = geoportal_->dir();
    }
    void TearDown() override { geoportal_.reset(); }

    CloudDownloadRequest request(kl::cloudui::Detail detail = kl::cloudui::Detail::Full) const {
        CloudDownloadRequest r;
        r.frame = {demo::kMinEasting + 100, demo::kMinNorthing + 100, demo::kMinEasting + 400, demo::kMinNorthing + 300};
        r.detail = detail;
        r.placeEpsg = 2176;
        r.outputFile = (dir_ / "out" / "import.e57").string();
        r.currentYear = demo::kLidarLastOfferedYear;
        return r;
    }

    CloudDownloadResult run(const CloudDownloadRequest& r, const CancelCheck& cancelled = [] { return false; }) {
        kl::net::HttpTimings fast;
        fast.retryDelayMs = 1;
        fast.hostSpacingMs = 0;
        kl::net::WfsClient client(fast);
        LidarResolver resolver(client);
        return runCloudDownload(r, resolver, [this](const CloudProgress& p) { labels_.push_back(p.label); }, cancelled);
    }

    std::unique_ptr<kl::cloud::test::DemoGeoportal> geoportal_;
    fs::path dir_;
    std::vector<std::string> labels_;
};

}  // namespace

TEST_F(CloudDownloadDemo, FrameBecomesOneCroppedCloud) {
    const auto r = run(request());
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_GT(r.tilesProcessed, 0);
    // 300 m x 200 m at 2 points per m2, give or take the generator's scatter.
    EXPECT_GT(r.count, 60'000);
    EXPECT_LT(r.count, 180'000);
    // Local coordinates lie within the frame's corners moved into the zone.
    const auto f = request().frame;
    double maxE = -1e300, maxN = -1e300;
    for (double x : {f.minX, f.maxX})
        for (double y : {f.minY, f.maxY}) {
            const auto c = kl::geo::pl1992ToPl2000(x, y, 2176);
            maxE = std::max(maxE, c.x - r.originE);
            maxN = std::max(maxN, c.y - r.originN);
        }
    EXPECT_GE(r.minX, -0.05);
    EXPECT_GE(r.minY, -0.05);
    EXPECT_LE(r.maxX, maxE + 0.05);
    EXPECT_LE(r.maxY, maxN + 0.05);
    EXPECT_GT(r.minZ, 100.0);  // no survey point: absolute heights
    const auto rb = readE57(r.filePath);
    ASSERT_TRUE(rb.ok) << rb.error;
    EXPECT_EQ(static_cast<int64_t>(rb.x.size()), r.count);
    EXPECT_NE(std::find(labels_.begin(), labels_.end(), "Przetwarzanie kafli LiDAR"), labels_.end());
}

TEST_F(CloudDownloadDemo, ThinningKeepsFewerPoints) {
    const auto full = run(request(kl::cloudui::Detail::Full));
    const auto light = run(request(kl::cloudui::Detail::Lekki));
    ASSERT_TRUE(full.ok && light.ok);
    EXPECT_LT(light.count, full.count);
    EXPECT_LE(light.count, static_cast<int64_t>(300 * 200 / 0.25) + 2000);
}

TEST_F(CloudDownloadDemo, CancelLeavesNoCloud) {
    int calls = 0;
    const auto r = run(request(), [&] { return ++calls > 20; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Anulowano.");
    EXPECT_FALSE(fs::exists(dir_ / "out" / "import.e57"));
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "cache", fs::directory_options::skip_permission_denied))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << "half-written " << e.path();
}

TEST_F(CloudDownloadDemo, BrokenTileIsSkippedWithAWarning) {
    kl::geoportal::FaultRule rule;
    rule.fault.kind = kl::geoportal::FaultKind::Truncate;
    rule.pathPrefix = std::string(demo::kLidarTilePathPrefix);
    rule.remaining = 2;  // the first try and its retry
    geoportal_->server().faults().add(rule);
    const auto r = run(request());
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_FALSE(r.warnings.empty());
    EXPECT_NE(r.warnings[0].find("pominiety"), std::string::npos);
    const auto all = run(request());
    EXPECT_GT(all.count, r.count);
}

namespace {

int32_t rawAt(const std::vector<uint8_t>& records, size_t point, size_t field) {
    int32_t v;
    std::memcpy(&v, records.data() + point * 26 + field, 4);
    return v;
}
uint16_t wordAt(const std::vector<uint8_t>& records, size_t point, size_t field) {
    return static_cast<uint16_t>(records[point * 26 + field] | (records[point * 26 + field + 1] << 8));
}

}  // namespace

TEST_F(CloudDownloadDemo, LazCopyHoldsTheSamePointsInTheZone) {
    auto req = request(kl::cloudui::Detail::Lekki);
    req.lazOutputFile = (dir_ / "out" / "import.laz").string();
    const auto r = run(req);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.lazPath, req.lazOutputFile);
    const auto e57 = readE57(r.filePath);
    ASSERT_TRUE(e57.ok) << e57.error;
    const auto laz = kl::las::test::decodeFile(r.lazPath);
    ASSERT_TRUE(laz.status.ok) << laz.status.message;
    ASSERT_EQ(static_cast<int64_t>(laz.header.pointCount), r.count);
    ASSERT_EQ(e57.x.size(), laz.header.pointCount);
    EXPECT_EQ(laz.header.pointFormat, 2);
    EXPECT_EQ(laz.header.offset[0], std::round(r.originE));
    const auto* keys = laz.header.findVlr("LASF_Projection", 34735);
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(keys->payload.size(), 32u);
    EXPECT_EQ(keys->payload[24] | (keys->payload[25] << 8), 3072);
    EXPECT_EQ(keys->payload[30] | (keys->payload[31] << 8), 2176);

    const auto& h = laz.header;
    double worst = 0;
    size_t colourMismatches = 0;
    for (size_t i = 0; i < e57.x.size(); ++i) {
        worst = std::max(worst, std::fabs(rawAt(laz.records, i, 0) * h.scale[0] + h.offset[0] - (r.originE + e57.x[i])));
        worst = std::max(worst, std::fabs(rawAt(laz.records, i, 4) * h.scale[1] + h.offset[1] - (r.originN + e57.y[i])));
        worst = std::max(worst, std::fabs(rawAt(laz.records, i, 8) * h.scale[2] + h.offset[2] - (r.originZ + e57.z[i])));
        if (wordAt(laz.records, i, 20) != e57.r[i] * 257 || wordAt(laz.records, i, 22) != e57.g[i] * 257 ||
            wordAt(laz.records, i, 24) != e57.b[i] * 257)
            ++colourMismatches;
    }
    EXPECT_LT(worst, 0.001);
    EXPECT_EQ(colourMismatches, 0u);
    // Header bounds are the writer's, from the records themselves.
    EXPECT_NEAR(h.min[0], r.originE + r.minX, 0.001);
    EXPECT_NEAR(h.max[2], r.originZ + r.maxZ, 0.001);

    std::vector<uint8_t> oracle;
    ASSERT_TRUE(kl::las::test::lazPerfDecode(r.lazPath, &oracle));
    EXPECT_TRUE(oracle == laz.records) << "laz-perf decodes other records than our reader";
}

TEST_F(CloudDownloadDemo, FailedLazWriteFailsTheDownload) {
    auto onDirectory = request(kl::cloudui::Detail::Lekki);
    onDirectory.lazOutputFile = (dir_ / "out" / "taken.laz").string();
    fs::create_directories(onDirectory.lazOutputFile);
    auto sameAsE57 = request(kl::cloudui::Detail::Lekki);
    sameAsE57.lazOutputFile = sameAsE57.outputFile;
    for (const auto& req : {onDirectory, sameAsE57}) {
        SCOPED_TRACE(req.lazOutputFile);
        const auto r = run(req);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message.rfind("Blad zapisu LAZ: ", 0), 0u) << r.message;
        EXPECT_TRUE(r.lazPath.empty());
        EXPECT_EQ(r.count, 0);
        for (const auto& e : fs::recursive_directory_iterator(dir_ / "out")) {
            EXPECT_NE(e.path().extension(), ".tmp") << e.path();
            if (e.path().extension() == ".laz") {
                EXPECT_TRUE(fs::is_directory(e.path())) << e.path();
            }
        }
    }
    EXPECT_TRUE(fs::is_empty(onDirectory.lazOutputFile));
}
