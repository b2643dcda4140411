// The add-on's own WFS client against the local geoportal: what the import
// sends must find the demo site, whichever request variant a server wants.

#include "tools/geoportal/geoportal_server.h"

#include "geodata/polish_crs.h"
#include "net/capabilities.h"
#include "net/commune_resolver.h"
#include "net/county_registry.h"
#include "net/service_hosts.h"
#include "net/wfs_layer_fetch.h"
#include "net/wfs_tiling.h"
#include "tools/geoportal/demo_area.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kl::geoportal {
namespace {

class NetClientAgainstGeoportal : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cacheRoot = std::filesystem::temp_directory_path() / ("kl-geoportal-net-" + std::to_string(::getpid()));
        std::filesystem::create_directories(cacheRoot);
        ::setenv("XDG_CACHE_HOME", cacheRoot.c_str(), 1);
        server = new GeoportalServer();
        ASSERT_TRUE(server->start().ok);
        net::setServiceHostOverride(server->baseUrl());
    }
    static void TearDownTestSuite() {
        net::setServiceHostOverride({});
        delete server;
        std::error_code ec;
        std::filesystem::remove_all(cacheRoot, ec);
    }
    void SetUp() override {
        server->log().clear();
        server->setConfig({});
    }
    static net::WfsClient client() {
        net::HttpTimings timings;
        timings.hostSpacingMs = 0;  // one loopback host; the politeness pause only slows the test
        return net::WfsClient(timings);
    }
    static geo::Bbox frame() { return geo::pl1992BoxFromWgs84Frame(demo::kWest, demo::kSouth, demo::kEast, demo::kNorth); }
    // A county endpoint of the demo county as a registry row would hold it.
    static std::string county(const std::string& profile, const std::string& path) {
        return server->baseUrl() + profile + path;
    }

    static GeoportalServer* server;
    static std::filesystem::path cacheRoot;
};
GeoportalServer* NetClientAgainstGeoportal::server = nullptr;
std::filesystem::path NetClientAgainstGeoportal::cacheRoot;

TEST_F(NetClientAgainstGeoportal, ResolvesTheDemoCommuneAndItsCadastre) {
    auto c = client();
    net::CommuneResolver resolver;
    EXPECT_EQ(resolver.resolveCommuneTeryt(c, frame()), demo::kCommuneTeryt);
    const std::string endpoint = net::egibWfsForTeryt(demo::kCommuneTeryt);
    ASSERT_FALSE(endpoint.empty());
    net::LayerNameCache cache;
    auto names = net::fetchLayerNames(c, cache, endpoint);
    ASSERT_TRUE(names.ok) << names.error;
    EXPECT_EQ(names.names.parcels, "ms:dzialki");
    EXPECT_EQ(names.names.buildings, "ms:budynki");
}

TEST_F(NetClientAgainstGeoportal, EachServerKindYieldsTheWholeSiteWithItsVariant) {
    struct Case {
        std::string profile;
        std::string typeName;
        geo::DataType type;
        int expected;
        net::WfsVariant variant;
    };
    const Case cases[] = {
        {"", "ms:dzialki", geo::DataType::Parcels, demo::kParcels, net::WfsVariant::NorthingFirst},
        {"", "ms:budynki", geo::DataType::Buildings, demo::kBuildings, net::WfsVariant::NorthingFirst},
        {"/__profile/xy", "ms:dzialki", geo::DataType::Parcels, demo::kParcels, net::WfsVariant::EastingFirst},
        {"/__profile/wfs11", "ms:budynki", geo::DataType::Buildings, demo::kBuildings, net::WfsVariant::Wfs110},
    };
    for (const auto& k : cases) {
        auto c = client();
        net::WfsMemory memory;
        auto result = net::fetchWfsLayer(c, memory, county(k.profile, "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201"),
                                         k.typeName, frame(), k.type, {});
        EXPECT_EQ(result.features.size(), static_cast<size_t>(k.expected)) << k.profile << " " << k.typeName;
        EXPECT_EQ(result.variant, k.variant) << k.profile;
    }
}

TEST_F(NetClientAgainstGeoportal, UtilitiesAreJoinedOverTheTileEdgeWithoutIdsOrWithNewIdsPerAnswer) {
    struct Case {
        const char* profile;
        const char* layer;
        int expected;
    };
    const Case cases[] = {{"", "ms:przewod_wodociagowy", demo::kWaterPipes},
                          {"", "ms:przewod_gazowy", demo::kGasPipes},
                          {"", "ms:przewod_elektroenergetyczny", demo::kPowerCables},
                          {"", "ms:przewod_kanalizacyjny", demo::kSewerPipes},
                          {"/__profile/freshids", "ms:przewod_wodociagowy", demo::kWaterPipes},
                          {"/__profile/freshids", "ms:przewod_gazowy", demo::kGasPipes}};
    for (const auto& k : cases) {
        auto c = client();
        auto result = net::getFeatureTiled(c, county(k.profile, "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/0201"), k.layer,
                                           frame(), geo::DataType::UtilityNetworks, {});
        EXPECT_EQ(result.tiles, 2);
        EXPECT_EQ(result.features.size(), static_cast<size_t>(k.expected)) << k.profile << " " << k.layer;
        EXPECT_GT(result.duplicatesDropped, 0) << k.layer;  // mains cross the edge between the two tiles
    }
}

TEST_F(NetClientAgainstGeoportal, CappedServersArePagedToTheLastParcel) {
    struct Case {
        const char* profile;  // a name of its own keeps the cache keys apart
        long long cap;
        bool matchedUnknown;
        const char* warning;  // a text the warning holds, or empty for none
    };
    const Case cases[] = {
        {"/__profile/capped", 50, false, ""},
        {"/__profile/unknowntotal", 88, true, ""},
        {"/__profile/nostart", 50, false, "pomija STARTINDEX"},
    };
    for (const auto& k : cases) {
        ServiceConfig capped;
        capped.maxFeatures = k.cap;
        capped.matchedUnknown = k.matchedUnknown;
        server->setConfig(capped);
        server->log().clear();
        auto c = client();
        auto result = net::getFeatureTiled(c, county(k.profile, "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201"),
                                           "ms:dzialki", frame(), geo::DataType::Parcels, {});
        EXPECT_EQ(result.features.size(), static_cast<size_t>(demo::kParcels)) << k.profile;
        if (*k.warning)
            EXPECT_NE(result.warning.find(k.warning), std::string::npos) << k.profile << ": " << result.warning;
        else
            EXPECT_EQ(result.warning, "") << k.profile;
        EXPECT_LT(server->log().snapshot().size(), 40u) << k.profile;
    }
}

}  // namespace
}  // namespace kl::geoportal
