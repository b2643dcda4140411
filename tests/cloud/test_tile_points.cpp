#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "cloud/pipeline/tile_points.h"

using namespace kl::cloud;

namespace {
const kl::geo::Bbox kFrame{566000.0, 243000.0, 566300.0, 243300.0};

struct RecordBuilder {
    uint8_t format;
    uint16_t length;
    std::vector<uint8_t> bytes;
    void add(int32_t x, int32_t y, int32_t z, uint16_t intensity, uint16_t r = 0, uint16_t g = 0, uint16_t b = 0) {
        std::vector<uint8_t> rec(length, 0);
        std::memcpy(&rec[0], &x, 4);
        std::memcpy(&rec[4], &y, 4);
        std::memcpy(&rec[8], &z, 4);
        std::memcpy(&rec[12], &intensity, 2);
        const int at = colourOffset(format, length);
        if (at >= 0) {
            std::memcpy(&rec[at], &r, 2);
            std::memcpy(&rec[at + 2], &g, 2);
            std::memcpy(&rec[at + 4], &b, 2);
        }
        bytes.insert(bytes.end(), rec.begin(), rec.end());
    }
    size_t count() const { return bytes.size() / length; }
};

TileLayout layoutOf(uint8_t format, uint16_t length, int epsg = 2180) {
    TileLayout l;
    l.pointFormat = format;
    l.recordLength = length;
    l.scale = {0.01, 0.01, 0.01};
    l.offset = {566000, 243000, 0};
    l.epsg = epsg;
    return l;
}
}  // namespace

TEST(TilePoints, ColourOfEachRecordFormat) {
    struct Row {
        const char* name;
        uint8_t format;
        uint16_t length;
        uint16_t intensity, r, g, b;  // as stored
        uint8_t shown[3];             // as kept
    };
    const Row rows[] = {
        {"16-bit colour gives its high byte", 3, 34, 0, 0xFF00, 0x8000, 0x1234, {0xFF, 0x80, 0x12}},
        {"8-bit colour in 16-bit fields is not black", 2, 26, 0, 200, 100, 50, {200, 100, 50}},
        {"without colour the intensity is grey", 1, 28, 0x4000, 0, 0, 0, {0x40, 0x40, 0x40}},
        {"full intensity is white", 1, 28, 0xFFFF, 0, 0, 0, {0xFF, 0xFF, 0xFF}},
    };
    for (const Row& row : rows) {
        RecordBuilder rb{row.format, row.length, {}};
        rb.add(10000, 10000, 21000, row.intensity, row.r, row.g, row.b);
        CloudAccumulator acc(kFrame, 0.0, 2178, 100);
        TilePointFeeder feed(acc, layoutOf(row.format, row.length));
        ASSERT_TRUE(feed.feed(rb.bytes.data(), rb.count())) << row.name;
        feed.finish();
        ASSERT_EQ(acc.points().size(), 1u) << row.name;
        const auto& p = acc.points()[0];
        EXPECT_EQ((std::vector<int>{p.r, p.g, p.b}), (std::vector<int>{row.shown[0], row.shown[1], row.shown[2]}))
            << row.name;
        EXPECT_DOUBLE_EQ(p.z, 210.0);
    }
}

TEST(TilePoints, ColourScaleIsDecidedPerTile) {
    CloudAccumulator acc(kFrame, 0.0, 2178, 100);
    RecordBuilder wide{2, 26, {}};
    wide.add(10000, 10000, 21000, 0, 0x1000, 0x1000, 0x1000);
    TilePointFeeder a(acc, layoutOf(2, 26));
    a.feed(wide.bytes.data(), wide.count());
    a.finish();
    RecordBuilder narrow{2, 26, {}};
    narrow.add(10100, 10000, 21000, 0, 0x10, 0x10, 0x10);
    TilePointFeeder b(acc, layoutOf(2, 26));
    b.feed(narrow.bytes.data(), narrow.count());
    b.finish();
    EXPECT_EQ(acc.points()[0].r, 0x10);
    EXPECT_EQ(acc.points()[1].r, 0x10);
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
