// Finding, downloading and reading the elevation sheets of a frame, against
// a loopback server that answers as the national index and download do.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/service_hosts.h"
#include "terrain/elevation_index.h"
#include "terrain/elevation_sheets.h"
#include "tests/net/fault_server.h"

namespace kl::terrain {
namespace {

std::string member(const std::string& godlo, const std::string& url) {
  std::string m = "<wfs:member><gugik:SkorowidzNMT2025 gml:id=\"x\">";
  if (!godlo.empty()) m += "<gugik:godlo>" + godlo + "</gugik:godlo>";
  return m + "<gugik:format>ARC/INFO ASCII GRID</gugik:format><gugik:url_do_pobrania>\r\n " + url +
         "\t</gugik:url_do_pobrania></gugik:SkorowidzNMT2025></wfs:member>";
}

std::string collection(const std::string& members) {
  return "<?xml version='1.0' encoding='UTF-8'?>\n<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
         "numberMatched=\"unknown\" numberReturned=\"0\">" +
         members + "</wfs:FeatureCollection>\n";
}

// Each record as "code address;".
TEST(ElevationIndex, RecordsOfAnAnswer) {
  const std::pair<const char*, std::string> rows[] = {
      {"N-33-1 https://a/1.asc;N-33-2 http://a/2.asc;",  // addresses trimmed
       collection(member("N-33-1", "https://a/1.asc") + member("N-33-2", "http://a/2.asc"))},
      {" https://a/1.asc;N-33-2 https://a/2.asc;",  // no code, and not the next one's
       collection(member("", "https://a/1.asc") + member("N-33-2", "https://a/2.asc"))},
      {"", collection(member("N-33-1", "ftp://a/1.asc"))},                   // not http(s)
      {"", collection(member("N-33-1", "https://a/1.asc")).substr(0, 120)},  // a cut answer: what is whole
  };
  for (const auto& [records, answer] : rows) {
    std::string got;
    for (const ElevationSheetRecord& r : parseElevationIndex(answer)) got += r.godlo + " " + r.url + ";";
    EXPECT_EQ(got, records) << answer;
  }
}

class ElevationServer : public ::testing::Test {
 protected:
  // The index answers per type name from `years`; a name without an answer
  // is a layer the service does not offer (400 with an exception report,
  // as MapServer answers).
  void serveIndex(ElevationModel model) {
    server.on(std::string(elevationIndexPath(model)), [this](const httplib::Request& rq, httplib::Response& rs) {
      std::lock_guard lock(mutex);
      const std::string name = rq.get_param_value("typenames");
      asked.push_back(name);
      const auto it = years.find(name);
      if (it == years.end()) {
        rs.status = 400;
        rs.set_content("<ows:ExceptionReport><ows:Exception exceptionCode=\"InvalidParameterValue\" "
                       "locator=\"typename\"/></ows:ExceptionReport>",
                       "text/xml");
        return;
      }
      rs.status = it->second.first;
      rs.set_content(it->second.second, "text/xml");
    });
  }

  test::TempCacheHome cache;
  test::FaultServer server;
  net::WfsClient client{test::loopbackTimings(), settings::serviceHostsWithOverride(server.url(""))};
  std::mutex mutex;
  std::map<std::string, std::pair<int, std::string>> years;
  std::vector<std::string> asked;
};

TEST_F(ElevationServer, YearsAreAskedNewestFirstUntilOneHasSheets) {
  struct Case {
    ElevationModel model;
    std::map<std::string, std::pair<int, std::string>> years;
    std::size_t sheets;
    int oldestAsked;  // every year from 2027 down to this one is asked, newest first, and no other
  };
  const std::string nmt = "gugik:SkorowidzNMT", nmpt = "gugik:SkorowidzNMPT";
  const std::string found = collection(member("N-33-1", "https://a/1.asc") + member("N-33-2", "https://a/2.asc"));
  const Case rows[] = {
      // 2027 not offered (a failure does not stop the walk), 2026 empty, 2025 has sheets: 2024 is never asked.
      {ElevationModel::Terrain, {{nmt + "2026", {200, collection("")}}, {nmt + "2025", {200, found}}}, 2, 2025},
      {ElevationModel::Surface, {{nmpt + "2019", {200, found}}}, 2, 2019},
      {ElevationModel::Terrain, {}, 0, kElevationOldestYear},
  };
  serveIndex(ElevationModel::Terrain);
  serveIndex(ElevationModel::Surface);
  for (const auto& row : rows) {
    {
      std::lock_guard lock(mutex);
      asked.clear();
      years = row.years;
    }
    const ElevationIndexQuery got = queryElevationIndex(client, row.model, {260400, 382640, 261040, 383080}, 2026);
    EXPECT_EQ(got.sheets.size(), row.sheets);
    std::vector<std::string> want;
    for (int y = 2027; y >= row.oldestAsked; --y)
      want.push_back((row.model == ElevationModel::Terrain ? nmt : nmpt) + std::to_string(y));
    EXPECT_EQ(asked, want);
    EXPECT_TRUE(got.failure.empty()) << got.failure;
  }
}

std::string sheetText(double cornerX, double value) {
  std::string text = "ncols 2\r\nnrows 2\r\nxllcorner " + std::to_string(static_cast<int>(cornerX)) +
                     "\r\nyllcorner 0\r\ncellsize 10\r\nnodata_value -9999\r\n";
  const std::string v = std::to_string(static_cast<int>(value));
  return text + v + " " + v + "\n" + v + " -9999\n";
}

TEST_F(ElevationServer, ASheetThatFailsIsSkippedAndNamedTheOthersAreUsed) {
  server.reply("/a.asc", 200, sheetText(0, 100), "text/plain");
  server.reply("/empty.asc", 200, "", "text/plain");
  server.reply("/b.asc", 200, sheetText(10, 200), "text/plain");
  const std::vector<ElevationSheetRecord> records = {
      {"A-1", server.url("/a.asc")}, {"", server.url("/empty.asc")}, {"B-2", server.url("/b.asc")}};
  std::vector<std::pair<int, int>> progress;
  const SheetLoad load = loadSheets(client, records, {[&](int done, int total) { progress.emplace_back(done, total); }, {}});
  ASSERT_EQ(load.sheets.size(), 2u);
  ASSERT_EQ(load.warnings.size(), 1u);
  EXPECT_NE(load.warnings[0].find("Arkusz empty.asc"), std::string::npos) << "named by its file without a code";
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));

  // The overlap (x 10..20) is the first sheet's, its hole the second's;
  // outside both there is nothing.
  EXPECT_DOUBLE_EQ(*sampleSheets(load.sheets, 15, 15), 100.0);
  EXPECT_DOUBLE_EQ(*sampleSheets(load.sheets, 15, 5), 200.0);
  EXPECT_DOUBLE_EQ(*sampleSheets(load.sheets, 25, 15), 200.0);
  EXPECT_FALSE(sampleSheets(load.sheets, 35, 5));

  // Only the readable sheets stay in the cache; the others are asked again.
  loadSheets(client, records, {});
  EXPECT_EQ(server.hits("/a.asc"), 1);
  EXPECT_EQ(server.hits("/empty.asc"), 2);
}

}  // namespace
}  // namespace kl::terrain
