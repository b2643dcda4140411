#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "cloud/pipeline/cloud_accumulator.h"

using kl::cloud::CloudAccumulator;
using kl::geo::Bbox;

namespace {
// A 300 m frame in Kraków, in PL-1992; zone 7 (EPSG 2178).
const Bbox kFrame{566000.0, 243000.0, 566300.0, 243300.0};
}  // namespace

TEST(CloudAccumulator, KeepsTheFirstPointOfAVoxelInsideTheFrameUntilTheBudgetEnds) {
    using Add = CloudAccumulator::Add;
    struct Point {
        double x, y, z;
        Add outcome;
    };
    const struct {
        const char* name;
        double voxel;
        size_t budget;
        std::vector<Point> points;
    } rows[] = {
        {"first point of a voxel wins", 0.5, 100,
         {{566100.01, 243100.01, 210.01, Add::Kept}, {566100.02, 243100.02, 210.02, Add::Dropped}}},
        {"without voxel every point inside the frame is kept, edges included", 0.0, 100,
         {{566100.01, 243100.01, 210, Add::Kept}, {566100.01, 243100.01, 210, Add::Kept},
          {565999.99, 243100, 210, Add::Dropped}, {566100, 243300.01, 210, Add::Dropped},
          {566300, 243300, 210, Add::Kept}}},
        {"the budget stops the cloud", 0.0, 2,
         {{566100, 243100, 210, Add::Kept}, {566101, 243100, 210, Add::Kept}, {566110, 243100, 210, Add::OverBudget}}},
        {"garbage heights are dropped", 0.2, 10,
         {{566100, 243100, INFINITY, Add::Dropped}, {566100, 243100, NAN, Add::Dropped},
          {566100, 243100, 1e30, Add::Dropped}}},
    };
    for (const auto& row : rows) {
        CloudAccumulator acc(kFrame, row.voxel, 2178, row.budget);
        size_t kept = 0;
        for (const Point& p : row.points) {
            EXPECT_EQ(acc.add(p.x, p.y, p.z, static_cast<uint8_t>(kept + 1), 0, 0), p.outcome) << row.name;
            kept += p.outcome == Add::Kept ? 1 : 0;
        }
        ASSERT_EQ(acc.points().size(), kept) << row.name;
        if (kept > 0) {
            EXPECT_EQ(acc.points()[0].r, 1) << row.name;
        }
    }
}

TEST(CloudAccumulator, LocalCoordinatesAreZoneCoordinatesLessTheSouthWestCornerOrTheSurveyPoint) {
    CloudAccumulator acc(kFrame, 0.0, 2178, 100);
    const double x = 566150, y = 243120, z = 215.5;
    ASSERT_EQ(acc.add(x, y, z, 0, 0, 0), CloudAccumulator::Add::Kept);
    const auto exact = kl::geo::pl1992ToPl2000(x, y, 2178);
    const auto& p = acc.points()[0];
    EXPECT_NEAR(p.x + acc.originE(), exact.x, 0.01);
    EXPECT_NEAR(p.y + acc.originN(), exact.y, 0.01);
    EXPECT_EQ(p.z, z);  // no survey point: heights stay absolute
    // The origin is the smallest easting and northing of the frame corners.
    for (double cx : {kFrame.minX, kFrame.maxX})
        for (double cy : {kFrame.minY, kFrame.maxY}) {
            const auto c = kl::geo::pl1992ToPl2000(cx, cy, 2178);
            EXPECT_GE(c.x, acc.originE() - 0.01);
            EXPECT_GE(c.y, acc.originN() - 0.01);
        }
    // A survey point moves the heights too.
    CloudAccumulator surveyed(kFrame, 0.0, 2178, 100);
    surveyed.setOrigin(7'500'000, 5'550'000, 200);
    ASSERT_EQ(surveyed.add(x, y, z, 0, 0, 0), CloudAccumulator::Add::Kept);
    EXPECT_DOUBLE_EQ(surveyed.points()[0].z, 15.5);
}

TEST(VoxelSet, NegativeAndFarKeysAreDistinct) {
    kl::cloud::VoxelSet s;
    EXPECT_TRUE(s.insert(-1, -1, -1));
    EXPECT_TRUE(s.insert(1, 1, 1));
    EXPECT_FALSE(s.insert(-1, -1, -1));
    EXPECT_TRUE(s.insert(int64_t{1} << 40, 0, 0));  // outside the packed range
    EXPECT_FALSE(s.insert(int64_t{1} << 40, 0, 0));
    EXPECT_TRUE(s.insert(0, 0, int64_t{1} << 21));
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(s.insert(i, -i, i % 7));
    for (int i = 0; i < 100000; ++i) ASSERT_FALSE(s.insert(i, -i, i % 7));
    EXPECT_EQ(s.size(), 100004u);
}

TEST(VoxelSet, RollbackFreesOnlyWhatCameAfterTheCommit) {
    kl::cloud::VoxelSet s;
    for (int i = 0; i < 3000; ++i) ASSERT_TRUE(s.insert(i, i % 13, -i));
    s.commit();
    for (int i = 3000; i < 9000; ++i) ASSERT_TRUE(s.insert(i, i % 13, -i));
    EXPECT_TRUE(s.insert(int64_t{1} << 40, 0, 0));
    s.rollback();
    EXPECT_EQ(s.size(), 3000u);
    for (int i = 0; i < 3000; ++i) ASSERT_FALSE(s.insert(i, i % 13, -i)) << i;
    for (int i = 3000; i < 9000; ++i) ASSERT_TRUE(s.insert(i, i % 13, -i)) << i;
    EXPECT_TRUE(s.insert(int64_t{1} << 40, 0, 0));
}
