// The client against the local geoportal's injected faults, and the joining
// of utilities whose ids change per answer. The demo site's layers through
// the import's calls, and faults healed by one retry, are the import flow
// tests'.
#include "net/capabilities.h"
#include "net/county_registry.h"
#include "net/download_cache.h"
#include "net/service_hosts.h"
#include "net/wfs_requests.h"
#include "net/wfs_tiling.h"
#include "geodata/polish_crs.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kl::net {
namespace {

namespace gp = kl::geoportal;
namespace demo = kl::geoportal::demo;

class AgainstGeoportal : public test::GeoportalSuite {
protected:
    void inject(const char* kind, const std::string& path, int status) {
        auto fault = gp::parseFault(kind, std::to_string(status), "0");
        ASSERT_TRUE(fault.has_value()) << kind;
        server_->faults().add({*fault, path, "", -1});
    }
    static int requestsTo(const std::string& path) {
        int n = 0;
        for (const auto& e : server_->log().snapshot()) n += e.path == path;
        return n;
    }
    static geo::Bbox demoFrame() {
        return geo::pl1992BoxFromWgs84Frame(demo::kWest, demo::kSouth, demo::kEast, demo::kNorth);
    }
    // A GetFeature of the demo county for one tile; the real registry row's
    // host is sent to the fixture by the override.
    static std::string tileUrl(const char* typeName) {
        GetFeatureParams p;
        p.baseUrl = egibWfsForTeryt(demo::kCountyTeryt);
        p.typeName = typeName;
        p.frame = {260400, 382640, 260900, 383080};
        return buildGetFeatureUrl(p);
    }

    // A county endpoint of the demo county behind a server profile.
    static std::string county(const std::string& profile, const std::string& path) {
        return server_->baseUrl() + profile + path;
    }
    kl::test::TempCacheHome home_;
    WfsClient client_{kl::test::loopbackTimings(), hosts()};
};

const std::string kCountyPath = "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201";
const std::string kUtilityPath = "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/0201";

// A tile whose every answer carries the fault: asked again only when the fault
// may pass, named, never cached; a mislabelled but sound body is data all the
// same, and once the faults end the tile comes whole and is cached.
TEST_F(AgainstGeoportal, EachLastingFaultOnATileIsNamedAndNeverCached) {
    const struct {
        const char* kind;
        int status, requests;
        const char* error;  // the start of the message
    } cases[] = {
        {"500", 500, 2, "Serwer zwrocil status 500"},
        {"404", 404, 1, "Serwer zwrocil status 404"},
        {"reset", 200, 2, "Brak odpowiedzi serwera"},
        {"truncate", 200, 2, "Pobieranie przerwane ("},
        {"cut", 200, 2, "Odpowiedz serwera urwana - niepelny dokument XML."},
        {"html", 200, 2, "Serwer zwrocil strone HTML zamiast danych."},
        {"exception", 200, 2, "Serwer zwrocil raport bledu OGC zamiast danych."},
        {"empty", 200, 2, "Serwer zwrocil pusta odpowiedz."},
        {"wrongtype", 200, 1, ""},
        {"", 200, 1, ""},
    };
    for (const auto& c : cases) {
        server_->faults().clear();
        server_->log().clear();
        if (*c.kind) inject(c.kind, kCountyPath, c.status);
        const CachedText t = client_.fetchCachedText(tileUrl("ms:dzialki"), 2000, ExpectedBody::Xml, true);
        EXPECT_EQ(t.error.rfind(c.error, 0), 0u) << c.kind << ": " << t.error;
        EXPECT_EQ(requestsTo(kCountyPath), c.requests) << c.kind;
        if (*c.error) {
            EXPECT_EQ(t.text, "") << c.kind;
            EXPECT_TRUE(std::filesystem::is_empty(cacheDir())) << c.kind;
        } else {
            EXPECT_NE(t.text.find("wfs:member"), std::string::npos) << c.kind;
            EXPECT_TRUE(std::filesystem::exists(cachePathFor(cacheKeyOf(hosts(), tileUrl("ms:dzialki")), "gml"))) << c.kind;
            std::filesystem::remove(cachePathFor(cacheKeyOf(hosts(), tileUrl("ms:dzialki")), "gml"));
        }
    }
}

// Every answer gives the same main a new id: only the geometry tells the copies apart.
TEST_F(AgainstGeoportal, UtilitiesWithNewIdsPerAnswerAreJoinedOverTheTileEdge) {
    const std::pair<const char*, int> cases[] = {{"ms:przewod_wodociagowy", demo::kWaterPipes},
                                                 {"ms:przewod_gazowy", demo::kGasPipes}};
    for (const auto& [layer, expected] : cases) {
        auto result = getFeatureTiled(client_, county("/__profile/freshids", kUtilityPath), layer, demoFrame(),
                                      geo::DataType::UtilityNetworks, {});
        EXPECT_EQ(result.tiles, 2);
        EXPECT_EQ(result.features.size(), static_cast<size_t>(expected)) << layer;
        EXPECT_GT(result.duplicatesDropped, 0) << layer;  // mains cross the edge between the two tiles
    }
}

}  // namespace
}  // namespace kl::net
