// Points of a tile into the cloud: the accumulator (frame, voxels, budget, origin), the
// records of each format, and whole tiles that decode, break or end the budget.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_writer.h"
#include "cloud/lidar/lidar_tile_check.h"
#include "cloud/pipeline/tile_points.h"
#include "cloud/pipeline/tile_processing.h"
#include "tests/support/scratch_folder.h"

using namespace kl::cloud;
namespace fs = std::filesystem;

namespace {
// A 300 m frame in Kraków, in PL-1992; zone 7 (EPSG 2178).
const kl::geo::Bbox kFrame{566000.0, 243000.0, 566300.0, 243300.0};

struct RecordBuilder {
    uint8_t format;
    uint16_t length;
    std::vector<uint8_t> bytes;
    void add(int32_t x, int32_t y, int32_t z, uint16_t intensity, uint16_t r = 0, uint16_t g = 0, uint16_t b = 0) {
        bytes.resize(bytes.size() + length);
        uint8_t* rec = &bytes[bytes.size() - length];
        const int32_t xyz[] = {x, y, z};
        const uint16_t rgb[] = {r, g, b};
        const int at = colourOffset(format, length);
        for (int k = 0; k < 3; ++k) {
            kl::las::storeLe<int32_t>(rec + 4 * k, xyz[k]);
            if (at >= 0) kl::las::storeLe<uint16_t>(rec + at + 2 * k, rgb[k]);
        }
        kl::las::storeLe<uint16_t>(rec + 12, intensity);
    }
    size_t count() const { return bytes.size() / length; }
};

// A LAZ tile in PL-1992 with points on a 1 m grid over x0..x0+n, in format 3
// (pointwise) or 7 (layered, with a changing intensity and GPS time that the
// pipeline never reads).
std::string writeTile(const fs::path& path, double x0, int n, uint32_t chunk = 1000, uint8_t format = 3) {
    const bool layered = format == 7;
    kl::las::LasHeader h;
    h.versionMinor = layered ? 4 : 2;
    h.pointFormat = format;
    h.recordLength = layered ? 36 : 34;
    h.scale = {0.01, 0.01, 0.01};
    h.offset = {566000, 243000, 0};
    RecordBuilder rb{format, h.recordLength, {}};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            rb.add(static_cast<int32_t>((x0 - 566000 + i) * 100), (100 + j) * 100, 21000 + i,
                   static_cast<uint16_t>(i * 7 + j), 0xAB00, static_cast<uint16_t>(0x1100 + (i << 8)), 0x2200);
            uint8_t* r = &rb.bytes[rb.bytes.size() - h.recordLength];
            r[14] = layered ? 0x11 : 0x09;  // first of one return
            if (layered) kl::las::storeLe<double>(r + 22, 1000.0 + i * 0.5 + j * 0.001);
        }
    kl::las::LasWriteOptions o;
    o.chunkSize = chunk;
    auto st = kl::las::writeLasFile(path.string(), h, rb.bytes.data(), rb.count(), o);
    EXPECT_TRUE(st.ok) << st.message;
    return path.string();
}

TileLayout layoutOf(uint8_t format, uint16_t length, int epsg = 2180) {
    TileLayout l;
    l.pointFormat = format;
    l.recordLength = length;
    l.scale = {0.01, 0.01, 0.01};
    l.offset = {566000, 243000, 0};
    l.epsg = epsg;
    return l;
}

class TileProcessing : public ::testing::Test {
protected:
    kl::test::ScratchFolder scratch_{"kl_tiles"};
    const fs::path dir_ = scratch_.path();
};
}  // namespace

// The first point of a voxel wins (the accumulator's table): the batches of two
// threads must reach it in file order, as one thread does.
TEST_F(TileProcessing, PointsOfATileAreCroppedColouredAndThinnedAlikeOnOneAndTwoThreads) {
    for (const uint8_t format : {uint8_t{3}, uint8_t{7}}) {
        SCOPED_TRACE(format);
        // 60 x 60 points, of which x in 566250..566300 (51 columns) lie in the frame.
        const auto path = writeTile(dir_ / "a.laz", 566250, 60, 1000, format);
        CloudAccumulator acc(kFrame, 0.0, 2178, 1'000'000);
        const auto out = processTile(path, 2180, acc, 2);
        ASSERT_EQ(out.kind, TileOutcome::Processed) << out.message;
        EXPECT_EQ(out.points, 3600u);
        ASSERT_EQ(acc.points().size(), 51u * 60u);
        for (size_t k = 0; k < acc.points().size(); ++k) {
            const auto& p = acc.points()[k];
            ASSERT_TRUE(p.r == 0xAB && p.g == 0x11 + k / 60 && p.b == 0x22) << "point " << k;
            ASSERT_NEAR(p.z, 210.0 + 0.01 * static_cast<double>(k / 60), 1e-9) << "point " << k;
        }
        CloudAccumulator one(kFrame, 2.0, 2178, 1'000'000), two(kFrame, 2.0, 2178, 1'000'000);
        ASSERT_EQ(processTile(path, 2180, one, 1).kind, TileOutcome::Processed);
        ASSERT_EQ(processTile(path, 2180, two, 2).kind, TileOutcome::Processed);
        ASSERT_LT(one.points().size(), 51u * 60u / 3);
        ASSERT_EQ(one.points().size(), two.points().size());
        for (size_t k = 0; k < one.points().size(); ++k) {
            const auto &p = one.points()[k], &q = two.points()[k];
            ASSERT_TRUE(p.x == q.x && p.y == q.y && p.z == q.z && p.r == q.r && p.g == q.g) << "point " << k;
        }
    }
}

TEST_F(TileProcessing, ATileThatBreaksHalfWayIsLeftOutWhole) {
    const auto good = writeTile(dir_ / "good.laz", 566100, 40);
    const auto path = writeTile(dir_ / "broken.laz", 566150, 40, 200);
    const auto again = writeTile(dir_ / "again.laz", 566150, 40);
    // Garble the middle of the point data: later chunks no longer decode.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fs::file_size(path) / 2));
        const std::string junk(64, '\x5A');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    // On two threads the batches before the break are already prepared when it comes.
    for (const unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        // One point per 0.5 m voxel: the broken tile's first half must not keep
        // its voxels, or the same points from a later tile would be thrown away.
        CloudAccumulator acc(kFrame, 0.5, 2178, 1'000'000);
        ASSERT_EQ(processTile(good, 2180, acc, threads).kind, TileOutcome::Processed);
        const size_t before = acc.points().size();
        const auto out = processTile(path, 2180, acc, threads);
        ASSERT_EQ(out.kind, TileOutcome::Unusable);
        EXPECT_NE(out.message.find("broken.laz"), std::string::npos);
        EXPECT_EQ(acc.points().size(), before);
        ASSERT_EQ(processTile(again, 2180, acc, threads).kind, TileOutcome::Processed);
        EXPECT_EQ(acc.points().size(), before + 40u * 40u);
    }
}

TEST_F(TileProcessing, OnlyAWholeTileFileIsTakenForWholeAndAJunkOneIsUnusable) {
    const auto path = writeTile(dir_ / "whole.laz", 566100, 60, 500);
    EXPECT_EQ(lidarTileDamage(path), "");
    const auto size = fs::file_size(path);
    for (const auto kept : {size / 2, size - 1, uintmax_t{300}, uintmax_t{0}}) {
        const auto cut = dir_ / ("cut_" + std::to_string(kept) + ".laz");
        fs::copy_file(path, cut);
        fs::resize_file(cut, kept);
        EXPECT_NE(lidarTileDamage(cut.string()), "") << kept << " of " << size << " bytes";
    }
    EXPECT_NE(lidarTileDamage((dir_ / "none.laz").string()), "");
    CloudAccumulator acc(kFrame, 0.0, 2178, 100);
    std::ofstream(dir_ / "junk.laz") << "not a las file at all";
    EXPECT_EQ(processTile((dir_ / "junk.laz").string(), 2180, acc, 1).kind, TileOutcome::Unusable);
    EXPECT_TRUE(acc.points().empty());
}

// One accumulator takes the rows as tiles in turn: 16-bit colour gives its high byte,
// and whether colour is 8 or 16 bits is decided per tile.
TEST(TilePoints, ColourOfEachRecordFormat) {
    struct Row {
        const char* name;
        uint8_t format;
        uint16_t length;
        uint16_t intensity, r, g, b;  // as stored
        uint8_t shown[3];             // as kept
    };
    const Row rows[] = {
        {"16-bit colour gives its high byte", 2, 26, 0, 0x1000, 0x2000, 0xFF00, {0x10, 0x20, 0xFF}},
        {"8-bit colour in 16-bit fields is not black", 2, 26, 0, 200, 100, 50, {200, 100, 50}},
        {"without colour the intensity is grey", 1, 28, 0x4000, 0, 0, 0, {0x40, 0x40, 0x40}},
    };
    CloudAccumulator acc(kFrame, 0.0, 2178, 100);
    for (const Row& row : rows) {
        RecordBuilder rb{row.format, row.length, {}};
        rb.add(10000, 10000, 21000, row.intensity, row.r, row.g, row.b);
        TilePointFeeder feed(acc, layoutOf(row.format, row.length));
        ASSERT_TRUE(feed.feed(rb.bytes.data(), rb.count())) << row.name;
        feed.finish();
        const auto& p = acc.points().back();
        EXPECT_EQ((std::vector<int>{p.r, p.g, p.b}), (std::vector<int>{row.shown[0], row.shown[1], row.shown[2]}))
            << row.name;
        EXPECT_DOUBLE_EQ(p.z, 210.0);
    }
    EXPECT_EQ(acc.points().size(), std::size(rows));
}

TEST(TilePoints, ZoneTileIsConvertedToPl1992AndCroppedToTheFrame) {
    // The same ground point given in zone 7 must land where its PL-1992 twin lands.
    const auto inside = kl::geo::pl1992ToPl2000(566150, 243150, 2178);
    const auto outside = kl::geo::pl1992ToPl2000(566301.5, 243150, 2178);  // within the 2 m margin, outside the frame
    TileLayout zone = layoutOf(0, 20, 2178);
    zone.offset = {7'000'000, 5'000'000, 0};
    RecordBuilder rb{0, 20, {}};
    auto raw = [&](double v, double off) { return static_cast<int32_t>(std::lround((v - off) / 0.01)); };
    rb.add(raw(inside.x, zone.offset[0]), raw(inside.y, zone.offset[1]), 21000, 0);
    rb.add(raw(outside.x, zone.offset[0]), raw(outside.y, zone.offset[1]), 21000, 0);
    CloudAccumulator zoned(kFrame, 0.0, 2178, 100);
    TilePointFeeder f(zoned, zone);
    ASSERT_TRUE(f.feed(rb.bytes.data(), rb.count()));
    f.finish();
    ASSERT_EQ(zoned.points().size(), 1u);

    CloudAccumulator plain(kFrame, 0.0, 2178, 100);
    ASSERT_EQ(plain.add(566150, 243150, 210, 0, 0, 0), CloudAccumulator::Add::Kept);
    EXPECT_NEAR(zoned.points()[0].x, plain.points()[0].x, 0.02);
    EXPECT_NEAR(zoned.points()[0].y, plain.points()[0].y, 0.02);
}

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

// Keys past the packed range go elsewhere and are rolled back too.
TEST(VoxelSet, NegativeAndFarKeysAreDistinctAndRollbackFreesOnlyWhatCameAfterTheCommit) {
    VoxelSet s;
    EXPECT_TRUE(s.insert(-1, -1, -1));
    EXPECT_TRUE(s.insert(1, 1, 1));
    EXPECT_FALSE(s.insert(-1, -1, -1));
    EXPECT_TRUE(s.insert(int64_t{1} << 40, 0, 0));
    EXPECT_FALSE(s.insert(int64_t{1} << 40, 0, 0));
    EXPECT_TRUE(s.insert(0, 0, int64_t{1} << 21));
    s.commit();
    for (int i = 2; i < 90000; ++i) ASSERT_TRUE(s.insert(i, -i, i % 7)) << i;
    EXPECT_TRUE(s.insert(int64_t{1} << 41, 0, 0));
    s.rollback();
    EXPECT_EQ(s.size(), 4u);
    EXPECT_FALSE(s.insert(-1, -1, -1));
    EXPECT_FALSE(s.insert(int64_t{1} << 40, 0, 0));
    for (int i = 2; i < 90000; ++i) ASSERT_TRUE(s.insert(i, -i, i % 7)) << i;
    for (int i = 2; i < 90000; ++i) ASSERT_FALSE(s.insert(i, -i, i % 7)) << i;
    EXPECT_TRUE(s.insert(int64_t{1} << 41, 0, 0));
}
