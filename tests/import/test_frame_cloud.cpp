// The points one LiDAR tile gives the frame's cloud: only the classes asked
// for, points outside the frame left out, a tile that breaks half way taken
// back out whole. (The class without its flag bits is the LAS reader's.)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "cloud/las/las_writer.h"
#include "import/frame_cloud.h"
#include "tests/support/scratch_folder.h"

namespace kl::import {
namespace {

namespace fs = std::filesystem;

const geo::Bbox kFrame{566000.0, 243000.0, 566100.0, 243100.0};

struct TileCase {
    const char* what;
    std::uint8_t classByte;  // format 3: class and flags
    double x;                // the point's easting, northing 243050
    int expectedClass;       // -1: left out
};

const TileCase kCases[] = {
    {"ground", 2, 566050, 2},
    {"a building is not asked for", 6, 566050, -1},
    {"ground outside the frame", 2, 566150, -1},
};

// A format 3 tile of `count` points as `c` describes them, each 1 cm east of
// the last; in chunks of `chunkSize` points when compressed.
std::string writeTile(const fs::path& path, const TileCase& c, int count = 1, std::uint32_t chunkSize = 50000) {
    las::LasHeader h;
    h.versionMinor = 2;
    h.pointFormat = 3;
    h.recordLength = 34;
    h.scale = {0.01, 0.01, 0.01};
    h.offset = {566000, 243000, 0};
    std::vector<std::uint8_t> records(static_cast<std::size_t>(h.recordLength * count), 0);
    for (int i = 0; i < count; ++i) {
        std::uint8_t* record = records.data() + i * h.recordLength;
        const auto x = static_cast<std::int32_t>((c.x - 566000) * 100) + i, y = 5000, z = 21050;
        std::memcpy(record, &x, 4);
        std::memcpy(record + 4, &y, 4);
        std::memcpy(record + 8, &z, 4);
        record[14] = 0x09;  // return 1 of 1
        record[15] = c.classByte;
    }
    las::LasWriteOptions o;
    o.chunkSize = chunkSize;
    const las::LasStatus st = las::writeLasFile(path.string(), h, records.data(), static_cast<std::uint64_t>(count), o);
    EXPECT_TRUE(st.ok) << st.message;
    return path.string();
}

class FrameCloudTile : public ::testing::Test {
protected:
    test::ScratchFolder scratch_{"kl_frame_cloud"};
    const fs::path dir_ = scratch_.path();
};

const auto kGroundOrWater = [](std::uint8_t cls) { return cls == 2 || cls == 9; };

TEST_F(FrameCloudTile, ClassesWithoutFlagsInsideTheFrame) {
    for (const TileCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::string path = writeTile(dir_ / "tile.laz", c);
        std::vector<FrameCloudPoint> points;
        const cloud::TileOutcome got = appendTilePoints(path, 2180, kFrame, kGroundOrWater, points);
        ASSERT_EQ(got.kind, cloud::TileOutcome::Processed) << got.message;
        if (c.expectedClass < 0) {
            EXPECT_TRUE(points.empty());
            continue;
        }
        ASSERT_EQ(points.size(), 1u);
        EXPECT_EQ(points[0].cls, c.expectedClass);
        EXPECT_DOUBLE_EQ(points[0].x, c.x);
        EXPECT_DOUBLE_EQ(points[0].y, 243050.0);
        EXPECT_DOUBLE_EQ(points[0].z, 210.5);
    }
}

// Cut within its chunks, a tile gives back none of the points read before the cut.
TEST_F(FrameCloudTile, ATileCutShortGivesNoPoint) {
    const fs::path path = writeTile(dir_ / "cut.laz", kCases[0], 5000, 500);
    fs::resize_file(path, fs::file_size(path) * 2 / 3);
    std::vector<FrameCloudPoint> points{{1, 2, 3, 2}};  // of an earlier tile
    const cloud::TileOutcome got = appendTilePoints(path.string(), 2180, kFrame, kGroundOrWater, points);
    EXPECT_EQ(got.kind, cloud::TileOutcome::Unusable);
    EXPECT_EQ(points.size(), 1u);
}

}  // namespace
}  // namespace kl::import
