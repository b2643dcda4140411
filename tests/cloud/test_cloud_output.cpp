// What the cloud leaves on disk: the LAZ copy (header, GeoTIFF keys, absolute
// millimetre coordinates, 16-bit colour, read by our reader and by laz-perf,
// and failures that leave nothing behind) and the temporaries of killed runs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/temporary_names.h"
#include "cloud/las/las_bytes.h"
#include "cloud/pipeline/cloud_laz_export.h"
#include "cloud/pipeline/cloud_output.h"
#include "tests/las/las_test_support.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {
// The pid of a process that has ended.
long deadPid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}
}  // namespace

TEST(CloudOutput, OnlyStaleTemporariesOfTheTargetAreSwept) {
    const kl::test::ScratchFolder scratch("kl_cloud_output");
    const fs::path& dir = scratch.path();
    const std::string dead = std::to_string(deadPid());
    const std::string live = std::to_string(::getpid());
    const struct {
        std::string name;
        bool swept;
    } rows[] = {
        {"import.e57." + dead + ".1a2b3c4d.part", true},   // the E57 writer of a killed run
        {"import.e57." + dead + ".part", true},            // a staged file of a killed run
        {"import.e57." + dead + ".part.tmp", true},
        {"import.e57." + live + ".1a2b3c4d.part", false},  // a write in progress
        {"import.e57", false},
        {"import.e57.backup", false},
        {"import.e57.x" + dead + ".part", false},
        {"other.e57." + dead + ".part", false},
        {"import.e57." + dead + ".txt", false},
    };
    for (const auto& row : rows) std::ofstream(dir / row.name) << "x";
    EXPECT_EQ(kl::platform::sweepStaleTemporaries((dir / "import.e57").string()), 3);
    for (const auto& row : rows) EXPECT_EQ(fs::exists(dir / row.name), !row.swept) << row.name;
    // A temporary of a running writer that has not been touched for days is stale too.
    fs::last_write_time(dir / rows[3].name, fs::file_time_type::clock::now() - std::chrono::hours(49));
    EXPECT_EQ(kl::platform::sweepStaleTemporaries((dir / "import.e57").string()), 1);
}

using namespace kl::cloud;
using kl::las::loadLe;

namespace {

class CloudLazExport : public ::testing::Test {
protected:
    kl::test::ScratchFolder scratch_{"kl_cloud_laz"};
    const fs::path dir_ = scratch_.path();
    std::vector<std::string> filesHere() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        return names;
    }
};

const LazPlacement kZone6{6'548'123.4567, 5'678'901.2345, 187.6, 2177};

}  // namespace

TEST_F(CloudLazExport, PointsComeBackAbsoluteWithWideColour) {
    const std::vector<CloudPoint> pts = {{0, 0, 0, 0, 0, 0}, {12.3456, 7.8904, 20.0004, 255, 128, 1}, {-0.25, 300.5, -5.5, 10, 20, 30}};
    const std::string file = (dir_ / "c.laz").string();
    ASSERT_TRUE(writeCloudLaz(file, pts, kZone6));
    const auto d = kl::las::test::decodeFile(file);
    ASSERT_TRUE(d.status.ok) << d.status.message;
    EXPECT_TRUE(d.header.compressed);
    EXPECT_EQ(d.header.versionMinor, 2);
    EXPECT_EQ(d.header.pointFormat, 2);
    ASSERT_EQ(d.header.pointCount, pts.size());
    const auto* vlr = d.header.findVlr("LASF_Projection", 34735);
    ASSERT_NE(vlr, nullptr);
    // The GeoTIFF key directory: three inline keys, the last the projected system.
    ASSERT_EQ(vlr->payload.size(), 32u);
    EXPECT_EQ(loadLe<uint16_t>(vlr->payload.data() + 6), 3);
    EXPECT_EQ(loadLe<uint16_t>(vlr->payload.data() + 24), 3072);
    EXPECT_EQ(loadLe<uint16_t>(vlr->payload.data() + 30), 2177);
    // The offset is the origin in whole metres.
    EXPECT_EQ(d.header.offset, (std::array<double, 3>{6'548'123.0, 5'678'901.0, 188.0}));
    for (size_t i = 0; i < pts.size(); ++i) {
        SCOPED_TRACE(i);
        const uint8_t* rec = d.records.data() + 26 * i;
        const double absolute[] = {kZone6.originE + pts[i].x, kZone6.originN + pts[i].y, kZone6.originZ + pts[i].z};
        const int colour[] = {pts[i].r, pts[i].g, pts[i].b};
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(loadLe<int32_t>(rec + 4 * a) * 0.001 + d.header.offset[a], absolute[a], 0.0005 + 1e-9);
            EXPECT_EQ(loadLe<uint16_t>(rec + 20 + 2 * a), colour[a] * 257);
        }
    }
    EXPECT_EQ(filesHere(), std::vector<std::string>{"c.laz"});
    std::vector<uint8_t> oracle;
    ASSERT_TRUE(kl::las::test::lazPerfDecode(file, &oracle));
    EXPECT_TRUE(oracle == d.records) << "laz-perf decodes other records than our reader";
}

TEST_F(CloudLazExport, FailuresLeaveNoFile) {
    const std::vector<CloudPoint> far = {{1, 1, 1, 0, 0, 0}, {3.0e6, 0, 0, 0, 0, 0}};
    const std::string file = (dir_ / "far.laz").string();
    const auto outOfRange = writeCloudLaz(file, far, kZone6);
    EXPECT_FALSE(outOfRange.ok);
    EXPECT_NE(outOfRange.message.find("punkt nr 2"), std::string::npos) << outOfRange.message;

    const auto badZone = writeCloudLaz(file, {{1, 1, 1, 0, 0, 0}}, {0, 0, 0, 70000});
    EXPECT_FALSE(badZone.ok);

    fs::create_directories(dir_ / "taken.laz");
    const auto onDirectory = writeCloudLaz((dir_ / "taken.laz").string(), {{1, 1, 1, 0, 0, 0}}, kZone6);
    EXPECT_FALSE(onDirectory.ok);
    EXPECT_FALSE(onDirectory.message.empty());
    EXPECT_EQ(filesHere(), std::vector<std::string>{"taken.laz"});
    EXPECT_TRUE(fs::is_empty(dir_ / "taken.laz"));
}
