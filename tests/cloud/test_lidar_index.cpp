#include <gtest/gtest.h>

#include <utility>

#include "cloud/lidar/lidar_index.h"
#include "net/sheet_index_text.h"
#include "tests/geodata/sample_files.h"

using namespace kl::cloud;
using namespace kl::net;

namespace {
std::string sample(const char* name) { return kl::geo::testing::readSample(std::string("polish_wfs/") + name); }

std::string member(const std::string& url, const std::string& density, const std::string& uklad) {
    return "<wfs:member><gugik:X><gugik:godlo>G-1</gugik:godlo><gugik:char_przestrz>" + density +
           "</gugik:char_przestrz><gugik:uklad_xy>" + uklad + "</gugik:uklad_xy><gugik:url_do_pobrania>" + url +
           "</gugik:url_do_pobrania></gugik:X></wfs:member>";
}
}  // namespace

TEST(LidarIndex, HorizontalSystemOfATile) {
    const std::pair<const char*, int> rows[] = {{"PL-1992", 2180},    {"PL-2000:S5", 2176}, {"PL-2000:S6", 2177},
                                                {"PL-2000:S7", 2178}, {"PL-2000:S8", 2179}, {"PL-2000:S9", 0},
                                                {"PL-2000", 0},       {"PL-2000:S", 0},     {"UTM 34N", 0},
                                                {"", 0}};
    for (const auto& [uklad, epsg] : rows) EXPECT_EQ(epsgFromUkladXy(uklad), epsg) << uklad;
}

TEST(LidarIndex, RealAnswersGiveTheirTileAndNothingElseGivesNone) {
    const auto pl1992 = parseLidarIndex(sample("kartograf__lidar_evrf2007_getfeature_2023_pl1992.xml"));
    ASSERT_EQ(pl1992.size(), 1u);
    EXPECT_EQ(pl1992[0].godlo, "N-34-139-A-c-1-1-3-4");
    EXPECT_EQ(pl1992[0].density, 12.0);
    EXPECT_EQ(pl1992[0].epsg, 2180);
    EXPECT_EQ(pl1992[0].url.rfind("https://", 0), 0u);
    EXPECT_NE(pl1992[0].url.find(".laz"), std::string::npos);
    const auto zone = parseLidarIndex(sample("kartograf__lidar_evrf2007_getfeature_2022.xml"));
    ASSERT_EQ(zone.size(), 1u);
    EXPECT_EQ(zone[0].epsg, 2178);
    EXPECT_EQ(zone[0].density, 15.0);
    EXPECT_TRUE(parseLidarIndex(sample("kartograf__lidar_evrf2007_getfeature_2019_empty.xml")).empty());
    EXPECT_TRUE(parseLidarIndex("").empty());
    EXPECT_TRUE(parseLidarIndex("<html>500</html>").empty());
}

TEST(LidarIndex, OtherSchemesAreSkippedAndARecordNeverBorrowsTheNextRecordsElements) {
    const std::string bare = "<wfs:member><gugik:X><gugik:godlo>G-0</gugik:godlo><gugik:url_do_pobrania>https://h/a.laz"
                             "</gugik:url_do_pobrania></gugik:X></wfs:member>";
    const std::string answer = "<wfs:FeatureCollection>" + bare + member("ftp://x/a.laz", "12 p/m2", "PL-1992") +
                               member("http://h/b.laz", "", "PL-2000:S6") + member("https://h/c.laz", "4,5 p/m2", "PL-1992") +
                               "</wfs:FeatureCollection>";
    const auto tiles = parseLidarIndex(answer);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[0].godlo, "G-0");
    EXPECT_EQ(tiles[0].epsg, 0);
    EXPECT_EQ(tiles[0].density, 0.0);
    EXPECT_EQ(tiles[1].url, "http://h/b.laz");
    EXPECT_EQ(tiles[1].density, 0.0);
    EXPECT_EQ(tiles[1].epsg, 2177);
    EXPECT_EQ(tiles[2].density, 4.5);
}

TEST(SheetIndexText, OnlyAWholeCollectionIsAnAnswer) {
    const std::string whole = sample("kartograf__lidar_evrf2007_getfeature_2023_pl1992.xml");
    const struct {
        std::string text;
        bool whole;
    } rows[] = {
        {whole, true},
        {sample("kartograf__lidar_evrf2007_getfeature_2019_empty.xml"), true},
        {whole.substr(0, whole.size() / 2), false},
        {whole.substr(0, whole.size() - 10), false},
        {"<?xml version=\"1.0\"?><ows:ExceptionReport><ows:Exception exceptionCode=\"NoApplicableCode\"/>"
         "</ows:ExceptionReport>", false},
        {"<html><body>Przerwa techniczna</body></html>", false},
        {"", false},
    };
    for (const auto& row : rows) EXPECT_EQ(isWholeFeatureCollection(row.text), row.whole) << row.text.substr(0, 80);
}
