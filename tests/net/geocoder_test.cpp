// The geocoder clients against a loopback server that answers as each row
// says: the real answers of both services, their failures and answers that
// only look like theirs. Every test runs under pl_PL.UTF-8, so a coordinate
// read with the locale would lose its decimals.
#include "net/geocoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "tests/geodata/sample_files.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"

namespace kl::net {
namespace {

std::string sample(const std::string& name) {
    return geo::testing::readWholeFile(std::string(KL_SAMPLES_DIR) + "/json/" + name);
}

const std::string kHtml = "<!DOCTYPE html><html><body><h1>Przerwa techniczna</h1></body></html>";

struct NominatimCase {
    const char* name;
    int status;
    std::string body;
    std::optional<AddressPlace> place;  // expected; none: nothing found or an error
    std::string error;
    int requests = 1;
};

const std::string kSilent = "Wyszukiwarka adresow nie odpowiada (Nominatim)";
const std::string kUnreadable = "Wyszukiwarka adresow zwrocila nieczytelna odpowiedz (Nominatim)";

TEST(NominatimAnswers, GiveThePlaceNothingOrTheReason) {
    const NominatimCase cases[] = {
        // The real answer: coordinates as texts with a decimal point.
        {"RealAnswer", 200, sample("geocoder__osm.json"),
         AddressPlace{45.421106, -75.690308, "Ottawa, Ontario, Canada"}, ""},
        {"LatAsNumber", 200, R"([{"lat":51.2622,"lon":15.5683,"display_name":"Rynek"}])",
         AddressPlace{51.2622, 15.5683, "Rynek"}, ""},
        {"EmptyArray", 200, "[]", std::nullopt, ""},
        {"ObjectInsteadOfArray", 200, R"({"error":"Unable to geocode"})", std::nullopt, ""},
        {"DecimalComma", 200, R"([{"lat":"51,26","lon":"15,57","display_name":"X"}])", std::nullopt, kUnreadable},
        {"NoCoordinates", 200, R"([{"display_name":"X"}])", std::nullopt, kUnreadable},
        {"LatitudeOutOfRange", 200, R"([{"lat":"152.2","lon":"15.5"}])", std::nullopt, kUnreadable},
        {"BodyCutShort", 200, R"([{"lat":"51.26","lo)", std::nullopt, kUnreadable},
        // A failure that may pass is asked once more, then named.
        {"Status500", 500, "Internal error", std::nullopt, kSilent, 2},
        {"HtmlPage", 200, kHtml, std::nullopt, kSilent, 2},
        {"NotFound404", 404, "", std::nullopt, kSilent, 1},
    };
    for (const NominatimCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultServer server;
        server.reply("/search", c.status, c.body, "application/json");
        WfsClient client(test::loopbackTimings(), server.hosts());
        const AddressSearch found = nominatimSearch(client, server.url(""), "Rynek");
        EXPECT_EQ(found.error, c.error);
        ASSERT_EQ(found.place.has_value(), c.place.has_value());
        if (c.place) {
            EXPECT_DOUBLE_EQ(found.place->lat, c.place->lat);
            EXPECT_DOUBLE_EQ(found.place->lon, c.place->lon);
            EXPECT_EQ(found.place->label, c.place->label);
        }
        EXPECT_EQ(server.hits("/search"), c.requests);
    }
}

struct PhotonCase {
    const char* name;
    int status;
    std::string body;
    std::vector<AddressPlace> items;  // expected
};

const std::string kTwoGoodAmongBroken = R"({"type":"FeatureCollection","features":[
  {"type":"Feature","properties":{"name":"Bez geometrii"}},
  {"type":"Feature","geometry":null,"properties":{"name":"Pusta geometria"}},
  {"type":"Feature","geometry":{"type":"Point"},"properties":{"name":"Bez wspolrzednych"}},
  {"type":"Feature","geometry":{"type":"Point","coordinates":[15.5]},"properties":{"name":"Jedna liczba"}},
  {"type":"Feature","geometry":{"type":"Point","coordinates":["x","y"]},"properties":{"name":"Teksty"}},
  {"type":"Feature","geometry":{"type":"Point","coordinates":[15.57,51.26]},"properties":{"name":"Rynek","city":"Bolesławiec"}},
  "nie obiekt",
  {"type":"Feature","geometry":{"type":"Point","coordinates":[15.56,51.261]},"properties":null}]})";

TEST(PhotonAnswers, GiveTheFeaturesWithCoordinatesOnce) {
    const PhotonCase cases[] = {
        // The real answer: [longitude, latitude]; labels from the parts each feature has.
        {"RealAnswer", 200, sample("waypointer__photon_response.json"),
         {{46.0664228, 11.1257601, "Trento, Provincia di Trento"},
          {44.9656976, 11.4673224, "Trento, Ficarolo, Rovigo"},
          {8.043508, 126.0633157, "Trento"}}},
        {"FeaturesWithoutCoordinatesSkipped", 200, kTwoGoodAmongBroken, {{51.26, 15.57, "Rynek, Bolesławiec"}, {51.261, 15.56, ""}}},
        {"NoFeatures", 200, R"({"type":"FeatureCollection"})", {}},
        {"ArrayInsteadOfObject", 200, "[]", {}},
        {"Status500", 500, "Internal error", {}},
        {"HtmlPage", 200, kHtml, {}},
    };
    for (const PhotonCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultServer server;
        server.reply("/api/", c.status, c.body, "application/json");
        WfsClient client(test::loopbackTimings(), server.hosts());
        const std::vector<AddressPlace> items = photonSuggest(client, server.url(""), "Trento");
        ASSERT_EQ(items.size(), c.items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_DOUBLE_EQ(items[i].lat, c.items[i].lat) << i;
            EXPECT_DOUBLE_EQ(items[i].lon, c.items[i].lon) << i;
            EXPECT_EQ(items[i].label, c.items[i].label);
        }
        EXPECT_EQ(server.hits("/api/"), 1) << "suggestions are never asked twice";
    }
}

// The requests as the local geoportal's geocoders log them.
class GeocoderRequests : public test::GeoportalSuite {
protected:
    static std::map<std::string, std::string> lastParams() {
        const auto log = server_->log().snapshot();
        if (log.empty()) return {};
        return {log.back().params.begin(), log.back().params.end()};
    }
    static long requestsTo(const std::string& path) {
        const auto log = server_->log().snapshot();
        return std::count_if(log.begin(), log.end(), [&](const auto& e) { return e.path == path; });
    }
    WfsClient client{test::loopbackTimings(), hosts()};
};

TEST_F(GeocoderRequests, QueriesArriveWholeWithTheFixedForms) {
    for (const std::string query : {"Bolesławiec, Jana Pawła II", "Rynek \"pod Ratuszem\" 's'", "Kubika & Asnyka",
                                    "a+b=c?d#e/f%20", "ŻÓŁĆ ęśąźń"}) {
        EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), query).error, "");
        const std::map<std::string, std::string> expectedSearch = {
            {"format", "json"}, {"limit", "1"}, {"countrycodes", "pl"}, {"q", query}};
        EXPECT_EQ(lastParams(), expectedSearch);
        photonSuggest(client, server_->baseUrl(), query);
        const std::map<std::string, std::string> expectedSuggest = {
            {"q", query}, {"limit", "5"}, {"bbox", "14.1,49.0,24.2,54.9"}};
        EXPECT_EQ(lastParams(), expectedSuggest);
    }
}

// Blank and overlong queries (the page's side is the import's address search
// test); the limit counts letters, not bytes.
TEST_F(GeocoderRequests, BlankAndOverlongQueriesAreNotSent) {
    EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), "\t\n ").error, "");
    EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), std::string(301, 'a')).error,
              "Wpisany adres jest za dlugi (najwiecej 300 znakow).");
    EXPECT_EQ(requestsTo("/search"), 0);
    std::string polish;
    for (int i = 0; i < 300; ++i) polish += "ł";
    EXPECT_EQ(nominatimSearch(client, server_->baseUrl(), polish).error, "");
    EXPECT_EQ(requestsTo("/search"), 1);
}

}  // namespace
}  // namespace kl::net
