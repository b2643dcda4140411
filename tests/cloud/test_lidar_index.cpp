#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

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

// Other URL schemes are skipped, and a record never borrows the next record's elements.
TEST(LidarIndex, AnswersGiveTheirTilesAndNothingElse) {
    const std::string opendata = "https://opendata.geoportal.gov.pl/NumDaneWys/DanePomiaroweLAZ/";
    const std::string bare = "<wfs:member><gugik:X><gugik:godlo>G-0</gugik:godlo><gugik:url_do_pobrania>https://h/a.laz"
                             "</gugik:url_do_pobrania></gugik:X></wfs:member>";
    const struct {
        std::string answer;
        std::vector<std::tuple<std::string, std::string, double, int>> tiles;  // godlo, url, density, epsg
    } rows[] = {
        {sample("kartograf__lidar_evrf2007_getfeature_2023_pl1992.xml"),
         {{"N-34-139-A-c-1-1-3-4", opendata + "78044/78044_1403296_N-34-139-A-c-1-1-3-4.laz", 12.0, 2180}}},
        {sample("kartograf__lidar_evrf2007_getfeature_2022.xml"),
         {{"7.173.21.06.2", opendata + "77941/77941_1396678_7.173.21.06.2.laz", 15.0, 2178}}},
        {"<wfs:FeatureCollection>" + bare + member("ftp://x/a.laz", "12 p/m2", "PL-1992") +
             member("http://h/b.laz", "", "PL-2000:S6") + member("https://h/c.laz", "4,5 p/m2", "PL-1992") +
             "</wfs:FeatureCollection>",
         {{"G-0", "https://h/a.laz", 0.0, 0}, {"G-1", "http://h/b.laz", 0.0, 2177},
          {"G-1", "https://h/c.laz", 4.5, 2180}}},
        {sample("kartograf__lidar_evrf2007_getfeature_2019_empty.xml"), {}},
        {"", {}},
        {"<html>500</html>", {}},
    };
    for (const auto& row : rows) {
        std::vector<std::tuple<std::string, std::string, double, int>> got;
        for (const LidarTile& t : parseLidarIndex(row.answer)) got.emplace_back(t.godlo, t.url, t.density, t.epsg);
        EXPECT_EQ(got, row.tiles) << row.answer.substr(0, 80);
    }
}

TEST(SheetIndexText, OnlyAWholeCollectionIsAnAnswer) {
    const std::string whole = sample("kartograf__lidar_evrf2007_getfeature_2023_pl1992.xml");
    const struct {
        std::string text;
        bool whole;
    } rows[] = {
        {whole, true},
        {sample("kartograf__lidar_evrf2007_getfeature_2019_empty.xml"), true},
        {whole.substr(0, whole.size() - 10), false},
        {"<?xml version=\"1.0\"?><ows:ExceptionReport><ows:Exception exceptionCode=\"NoApplicableCode\"/>"
         "</ows:ExceptionReport>", false},
        {"", false},
    };
    for (const auto& row : rows) EXPECT_EQ(isWholeFeatureCollection(row.text), row.whole) << row.text.substr(0, 80);
}
