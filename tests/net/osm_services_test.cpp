// The OpenStreetMap services: geocoders, way widths and Overpass. Every test
// runs under pl_PL.UTF-8, so a coordinate read with the locale loses decimals.
#include "net/geocoder.h"
#include "net/osm_ways_fetch.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "base/service_hosts.h"
#include "geodata/polish_crs.h"
#include "net/osm_width.h"
#include "net/url_text.h"
#include "tests/geodata/sample_files.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"

namespace kl::net {
namespace {

TEST(OsmWidth, TagThenLanesThenClass) {
    const struct {
        const char *cls, *width, *lanes;
        bool bridge;
        double expected;
    } cases[] = {
        {"residential", "7.5", "", false, 7.5},
        {"residential", "7,5", "", false, 7.5},   // decimal comma
        {"residential", "7 m", "", false, 7.0},   // with its unit
        {"primary", "0.5", "", false, 10.0},      // out of range, bounds exclusive: the class
        {"primary", "60", "", false, 10.0},
        {"primary", "0.51", "", false, 0.51},
        {"primary", "szeroka", "", false, 10.0},
        {"primary", "7 ft", "", false, 10.0},
        {"primary", "nan", "", false, 10.0},
        {"secondary", "", "2", true, 8.0},        // lanes x 3.5 + 1
        {"secondary", "", "12", false, 43.0},
        {"secondary", "", "13", false, 8.0},
        {"secondary", "", "0", false, 8.0},
        {"secondary", "", "2.5", false, 8.0},     // lanes are whole
        {"secondary", "abc", "1", false, 4.5},    // an unreadable width passes to lanes
        {"motorway", "", "", false, 14.0}, {"tram", "", "", false, 3.0}, {"footway", "", "", false, 2.0},
        {"service", "", "", true, 6.0},    {"service", "", "", false, 5.0}, {"", "", "", false, 5.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(osmWidth(c.cls, c.width, c.lanes, c.bridge), c.expected)
            << c.cls << " width='" << c.width << "' lanes='" << c.lanes << "'";
}

std::string sample(const std::string& name) {
    return geo::testing::readWholeFile(std::string(KL_SAMPLES_DIR) + "/json/" + name);
}

const std::string kMaintenancePage = "<!DOCTYPE html><html><body><h1>Przerwa techniczna</h1></body></html>";

const std::string kGeocoderSilent = "Wyszukiwarka adresow nie odpowiada (Nominatim)";
const std::string kGeocoderUnreadable = "Wyszukiwarka adresow zwrocila nieczytelna odpowiedz (Nominatim)";

const std::string kTwoGoodAmongBroken = R"({"type":"FeatureCollection","features":[
  {"type":"Feature","properties":{"name":"Bez geometrii"}},
  {"type":"Feature","geometry":null,"properties":{"name":"Pusta geometria"}},
  {"type":"Feature","geometry":{"type":"Point"},"properties":{"name":"Bez wspolrzednych"}},
  {"type":"Feature","geometry":{"type":"Point","coordinates":[15.5]},"properties":{"name":"Jedna liczba"}},
  {"type":"Feature","geometry":{"type":"Point","coordinates":["x","y"]},"properties":{"name":"Teksty"}},
  {"type":"Feature","geometry":{"type":"Point","coordinates":[15.57,51.26]},"properties":{"name":"Rynek","city":"Bolesławiec"}},
  "nie obiekt",
  {"type":"Feature","geometry":{"type":"Point","coordinates":[15.56,51.261]},"properties":null}]})";

// Nominatim (the search) gives one place, nothing or the reason, and asks a
// failure that may pass once more; Photon (suggestions) gives the features
// with coordinates and is never asked twice.
TEST(GeocoderAnswers, GiveThePlacesNothingOrTheReason) {
    const struct {
        const char* name;
        bool suggest;
        std::string body;
        std::vector<AddressPlace> places;
        std::string error = {};
        int requests = 1;
    } cases[] = {
        // The real answer: coordinates as texts with a decimal point.
        {"search: real answer", false, sample("geocoder__osm.json"), {{45.421106, -75.690308, "Ottawa, Ontario, Canada"}}},
        {"search: lat as number", false, R"([{"lat":51.2622,"lon":15.5683,"display_name":"Rynek"}])",
         {{51.2622, 15.5683, "Rynek"}}},
        {"search: empty array", false, "[]", {}},
        {"search: decimal comma", false, R"([{"lat":"51,26","lon":"15,57","display_name":"X"}])", {}, kGeocoderUnreadable},
        {"search: no coordinates", false, R"([{"display_name":"X"}])", {}, kGeocoderUnreadable},
        {"search: latitude out of range", false, R"([{"lat":"152.2","lon":"15.5"}])", {}, kGeocoderUnreadable},
        {"search: body cut short", false, R"([{"lat":"51.26","lo)", {}, kGeocoderUnreadable},
        {"search: html page", false, kMaintenancePage, {}, kGeocoderSilent, 2},
        // The real answer: [longitude, latitude]; labels from the parts each feature has.
        {"suggest: real answer", true, sample("waypointer__photon_response.json"),
         {{46.0664228, 11.1257601, "Trento, Provincia di Trento"},
          {44.9656976, 11.4673224, "Trento, Ficarolo, Rovigo"},
          {8.043508, 126.0633157, "Trento"}}},
        {"suggest: features without coordinates skipped", true, kTwoGoodAmongBroken,
         {{51.26, 15.57, "Rynek, Bolesławiec"}, {51.261, 15.56, ""}}},
        {"suggest: html page", true, kMaintenancePage, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultServer server;
        const std::string path = c.suggest ? "/api/" : "/search";
        server.reply(path, 200, c.body, "application/json");
        WfsClient client(test::loopbackTimings(), server.hosts());
        std::vector<AddressPlace> places;
        if (c.suggest) {
            places = photonSuggest(client, server.url(""), "Trento");
        } else {
            const AddressSearch found = nominatimSearch(client, server.url(""), "Rynek");
            EXPECT_EQ(found.error, c.error);
            if (found.place) places.push_back(*found.place);
        }
        ASSERT_EQ(places.size(), c.places.size());
        for (std::size_t i = 0; i < places.size(); ++i) {
            EXPECT_DOUBLE_EQ(places[i].lat, c.places[i].lat) << i;
            EXPECT_DOUBLE_EQ(places[i].lon, c.places[i].lon) << i;
            EXPECT_EQ(places[i].label, c.places[i].label);
        }
        EXPECT_EQ(server.hits(path), c.requests);
    }
}

// A 400 m x 300 m frame of the demo town.
const geo::Bbox kFrame{260500.0, 382700.0, 260900.0, 383000.0};

// The requests as the local geoportal's geocoders log them.
class OsmOnTheGeoportal : public test::GeoportalSuite {
protected:
    using Params = std::map<std::string, std::string>;
    static Params lastParams() {
        const auto log = server_->log().snapshot();
        if (log.empty()) return {};
        return {log.back().params.begin(), log.back().params.end()};
    }
    WfsClient client{test::loopbackTimings(), hosts()};
};

// Blank and overlong queries are not sent (the page's side is the import's
// address search test); the limit counts letters, not bytes.
TEST_F(OsmOnTheGeoportal, QueriesArriveWholeBlankAndOverlongOnesNotAtAllAndSlowOverpassIsWaitedFor) {
    for (const std::string query : {"Bolesławiec, Jana Pawła II", "Rynek \"pod Ratuszem\" 's'", "Kubika & Asnyka",
                                    "a+b=c?d#e/f%20", "ŻÓŁĆ ęśąźń"}) {
        EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), query).error, "");
        EXPECT_EQ(lastParams(), (Params{{"format", "json"}, {"limit", "1"}, {"countrycodes", "pl"}, {"q", query}}));
        photonSuggest(client, server_->baseUrl(), query);
        EXPECT_EQ(lastParams(), (Params{{"q", query}, {"limit", "5"}, {"bbox", "14.1,49.0,24.2,54.9"}}));
    }
    server_->log().clear();
    EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), "\t\n ").error, "");
    EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), std::string(301, 'a')).error,
              "Wpisany adres jest za dlugi (najwiecej 300 znakow).");
    EXPECT_EQ(server_->log().snapshot().size(), 0u);
    std::string polish;
    for (int i = 0; i < 300; ++i) polish += "ł";
    EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), polish).error, "");
    EXPECT_EQ(server_->log().snapshot().size(), 1u);
    // Overpass may think for up to the query's own 25 s: the fetch waits longer
    // than the client's usual receive time-out for the geoportal's slow answer.
    server_->log().clear();
    server_->faults().add({{geoportal::FaultKind::Slow, 200, 500}, "/api/interpreter", "", 1});
    HttpTimings timings = test::loopbackTimings();
    timings.defaultReceiveTimeoutMs = 50;
    WfsClient patient(timings, hosts());
    const OsmWaysFetch got = fetchOsmWays(kFrame, patient, true, true);
    EXPECT_EQ(got.error, "");
    EXPECT_FALSE(got.ways.empty());
    EXPECT_EQ(server_->log().snapshot().size(), 1u);
}

// The real form of an "out geom" answer: header, then ways with bounds, node
// ids, geometry and tags.
std::string answer(const std::string& elements, const std::string& extra = "") {
    return R"({"version": 0.6, "generator": "Overpass API 0.7.62.1 084b4234",
  "osm3s": {"timestamp_osm_base": "2026-12-01T10:00:00Z", "copyright": "The data included in this document is from www.openstreetmap.org. The data is made available under ODbL."},)" +
           extra + R"( "elements": [)" + elements + "]}";
}

const std::string kBridge = R"({"type": "way", "id": 101,
  "bounds": {"minlat": 51.2620, "minlon": 15.5680, "maxlat": 51.2625, "maxlon": 15.5690},
  "nodes": [1, 2], "geometry": [{"lat": 51.2620, "lon": 15.5680}, {"lat": 51.2625, "lon": 15.5690}],
  "tags": {"highway": "secondary", "bridge": "viaduct", "lanes": "2", "name": "Most Piastowski"}})";
const std::string kRail = R"({"type": "way", "id": 102, "nodes": [3, 4, 5],
  "geometry": [{"lat": 51.2610, "lon": 15.5660}, null, {"lat": 51.2612, "lon": 15.5670}],
  "tags": {"railway": "rail", "bridge": "yes"}})";
const std::string kUntagged = R"({"type": "way", "id": 103, "nodes": [6, 7],
  "geometry": [{"lat": 51.2630, "lon": 15.5700}, {"lat": 51.2631, "lon": 15.5710}]})";
const std::string kOnePoint = R"({"type": "way", "id": 104, "nodes": [8],
  "geometry": [{"lat": 51.2630, "lon": 15.5700}], "tags": {"highway": "residential"}})";
const std::string kNoGeometry = R"({"type": "way", "id": 105, "nodes": [9, 10], "tags": {"highway": "primary"}})";
const std::string kBadCoordinates = R"({"type": "way", "id": 106, "nodes": [11, 12],
  "geometry": [{"lat": "51.26", "lon": 15.57}, {"lat": 151.0, "lon": 15.57}], "tags": {"highway": "primary"}})";
const std::string kNode = R"({"type": "node", "id": 1, "lat": 51.2620, "lon": 15.5680})";

// Ways with two points are kept, the others counted; unreadable and cut
// answers are told.
TEST(ParseOverpassWays, KeepsWaysWithTwoPointsCountsTheOthersAndTellsUnreadableAnswers) {
    OverpassWays got = parseOverpassWays(
        answer(kNode + "," + kBridge + "," + kRail + "," + kUntagged + "," + kOnePoint + "," + kNoGeometry + "," +
               kBadCoordinates + ", 7"));
    ASSERT_TRUE(got.readable);
    EXPECT_EQ(got.remark, "");
    EXPECT_EQ(got.withoutGeometry, 3);
    // class|name|bridge|width|points; the rail's null node is skipped
    std::vector<std::string> ways;
    for (const OsmWay& w : got.ways)
        ways.push_back(w.cls + "|" + w.name + "|" + (w.bridge ? "bridge" : "") + "|" + formatNumber(w.width) + "|" +
                       std::to_string(w.points.size()));
    EXPECT_EQ(ways, (std::vector<std::string>{"secondary|Most Piastowski|bridge|8|2", "rail||bridge|3|2", "|||5|2"}));
    EXPECT_EQ(got.ways.at(0).points, (std::vector<geo::Point2d>{geo::wgs84ToPl1992(51.2620, 15.5680),
                                                               geo::wgs84ToPl1992(51.2625, 15.5690)}));
    const struct {
        const char* name;
        std::string text;
        bool readable;
        std::string remark;
        int ways, withoutGeometry;
    } cases[] = {
        // A real answer of nodes and ways given by node ids only.
        {"RealAnswerWithoutGeometry", sample("overpasswrap__map_query_response.json"), true, "", 0, 24},
        {"RealNodeAnswer", sample("overpasswrap__node_query_response.json"), true, "", 0, 0},
        {"GeoJsonInstead", sample("overpasswrap__example.json"), false, "", 0, 0},
        {"CutShort", answer(kBridge).substr(0, 300), false, "", 0, 0},
        {"Html", "<html><body>Too Many Requests</body></html>", false, "", 0, 0},
        {"Array", "[]", false, "", 0, 0},
        {"ElementsNotArray", R"({"elements": {}})", false, "", 0, 0},
        {"TimedOut", answer(kBridge, R"( "remark": "runtime error: Query timed out in \"query\" at line 1 after 26 seconds.",)"),
         true, "runtime error: Query timed out in \"query\" at line 1 after 26 seconds.", 1, 0},
    };
    for (const auto& c : cases) {
        got = parseOverpassWays(c.text);
        EXPECT_EQ(std::make_tuple(got.readable, got.remark, static_cast<int>(got.ways.size()), got.withoutGeometry),
                  std::make_tuple(c.readable, c.remark, c.ways, c.withoutGeometry)) << c.name;
    }
}

const std::string kHtml = "<!DOCTYPE html><html><body><h1>Dispatcher_Client::request_read_and_idx::timeout</h1></body></html>";
const std::string kSilent = "OSM (Overpass): usluga nie odpowiada (status ";
const std::string kTooLarge = "Mosty/drogi (OSM): kadr za duzy \u2014 przybliz mape (max ok. 5x5 km).";
const std::string kUnreadable = "OSM (Overpass): nieczytelna odpowiedz uslugi - mosty i drogi pominiete.";

// Against a loopback Overpass that answers as each row says.
TEST(OsmFetch, SendsTheFixedQueryAndGivesTheWaysOrSaysWhyNone) {
    // The box: the frame's corners through cs2cs EPSG:2180 -> EPSG:4326, south, west, north, east.
    EXPECT_EQ(overpassQuery(kFrame, true, true),
              "[out:json][timeout:25];(way[\"bridge\"~\"^(yes|viaduct)$\"](51.260583,15.565903,51.263444,15.571828);"
              "way[\"highway\"~\"^(motorway|trunk|primary|secondary|tertiary|residential|unclassified|living_street)$\"]"
              "(51.260583,15.565903,51.263444,15.571828););out geom;");
    EXPECT_EQ(overpassQuery(kFrame, false, true).find("bridge"), std::string::npos);
    EXPECT_EQ(overpassQuery(kFrame, true, false).find("highway"), std::string::npos);
    const struct {
        const char* name;
        geo::Bbox frame;
        int status;
        std::string body;
        std::string error;
        int ways;
        int requests;
        bool wanted = true;  // bridges and roads
    } cases[] = {
        {"NeitherKindWanted", kFrame, 200, answer(kBridge), "", 0, 0, false},
        {"FiveByFiveKilometres", {200000, 300000, 205000, 305000}, 200, answer(""), "", 0, 1},
        {"OneMetreLarger", {200000, 300000, 205000, 305001}, 200, answer(""), kTooLarge, 0, 0},
        {"TooManyRequests", kFrame, 429, "rate limited", kSilent + "429).", 0, 1},
        {"GatewayTimeout", kFrame, 504, kHtml, kSilent + "504).", 0, 2},
        {"MalformedJson", kFrame, 200, "{\"elements\": [{\"type\": \"way\", ", kUnreadable, 0, 1},
        {"QueryTimedOut", kFrame, 200, answer(kBridge, R"( "remark": "runtime error: Query timed out",)"),
         "OSM (Overpass): usluga przerwala zapytanie (runtime error: Query timed out) - mosty i drogi pominiete, "
         "sprobuj mniejszy kadr.",
         0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultServer server;
        std::string asked;
        server.on("/api/interpreter", [&](const httplib::Request& rq, httplib::Response& rs) {
            asked = rq.get_param_value("data");
            rs.status = c.status;
            rs.set_content(c.body, "application/json");
        });
        WfsClient client(test::loopbackTimings(), server.hosts());
        const OsmWaysFetch got = fetchOsmWays(c.frame, client, c.wanted, c.wanted);
        EXPECT_EQ(got.error, c.error);
        EXPECT_EQ(static_cast<int>(got.ways.size()), c.ways);
        EXPECT_EQ(server.hits("/api/interpreter"), c.requests);
        EXPECT_TRUE(c.requests == 0 || asked == overpassQuery(c.frame, true, true)) << "the query arrives as sent";
    }
}

}  // namespace
}  // namespace kl::net
