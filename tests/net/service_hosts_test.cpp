#include "net/service_hosts.h"

#include "base/service_hosts.h"
#include "net/wfs_client.h"
#include "tests/net/fault_server.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

class ServiceHostsTest : public ::testing::Test {
protected:
    void TearDown() override {
        setServiceHostOverride("");
        ::unsetenv("KL_SERVICE_BASE");
        ::unsetenv("KL_SERVICE_HOSTS");
    }
};

TEST_F(ServiceHostsTest, DefaultsAreTheNationalHosts) {
    ::unsetenv("KL_SERVICE_BASE");
    ::unsetenv("KL_SERVICE_HOSTS");
    EXPECT_EQ(serviceHostOverride(), "");
    EXPECT_EQ(nationalServiceUrl(kAdministrativeBoundariesWfsPath),
              "https://mapy.geoportal.gov.pl/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(routeThroughOverride("https://a.example/x?y=1"), "https://a.example/x?y=1");
}

TEST_F(ServiceHostsTest, OverrideReplacesSchemeHostAndPortOnly) {
    setServiceHostOverride("http://127.0.0.1:5000/");
    EXPECT_EQ(nationalServiceUrl(kBdot10kNewBuildingsWfsPath),
              "http://127.0.0.1:5000/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki");
    EXPECT_EQ(routeThroughOverride("https://glogow.geoportal2.pl:8443/map/geoportal/wfs.php?a=b"),
              "http://127.0.0.1:5000/map/geoportal/wfs.php?a=b");
    EXPECT_EQ(routeThroughOverride("https://host.example?x=1"), "http://127.0.0.1:5000/?x=1");
    EXPECT_EQ(routeThroughOverride("https://host.example"), "http://127.0.0.1:5000/");
    // Already routed URLs stay as they are.
    EXPECT_EQ(routeThroughOverride("http://127.0.0.1:5000/p"), "http://127.0.0.1:5000/p");
}

// The pages' hosts and the add-on's requests follow one reading of the environment.
TEST_F(ServiceHostsTest, EnvironmentVariableIsTheFallbackOverrideUnlessMalformed) {
    ::setenv("KL_SERVICE_BASE", "http://127.0.0.1:6000", 1);
    EXPECT_EQ(serviceHostOverride(), "http://127.0.0.1:6000");
    EXPECT_EQ(settings::configuredServiceHosts().orto, "http://127.0.0.1:6000");
    ::setenv("KL_SERVICE_HOSTS", "http://127.0.0.1:6500/", 1);
    EXPECT_EQ(serviceHostOverride(), "http://127.0.0.1:6500");  // the pages' variable first
    EXPECT_EQ(settings::configuredServiceHosts().nominatim, "http://127.0.0.1:6500");
    setServiceHostOverride("http://127.0.0.1:7000");
    EXPECT_EQ(serviceHostOverride(), "http://127.0.0.1:7000");
    // a malformed origin is ignored
    setServiceHostOverride("");
    ::setenv("KL_SERVICE_HOSTS", "127.0.0.1:6000/path", 1);
    ::setenv("KL_SERVICE_BASE", "http://127.0.0.1:6000/with/path", 1);
    EXPECT_EQ(serviceHostOverride(), "");
    EXPECT_EQ(settings::configuredServiceHosts().orto, settings::ServiceHosts{}.orto);
}

TEST_F(ServiceHostsTest, ClientSendsEveryRequestThroughTheOverride) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    server.reply("/map/geoportal/wfs.php", 200, "<a/>");
    setServiceHostOverride("http://127.0.0.1:" + std::to_string(server.port()));
    WfsClient client(kl::test::loopbackTimings());
    // 127.0.0.2 has no listener: reaching the server proves the rewrite.
    EXPECT_TRUE(client.get("http://127.0.0.2:1/map/geoportal/wfs.php").ok);
    EXPECT_EQ(client.getCachedText("http://127.0.0.2:1/map/geoportal/wfs.php", 1000), "<a/>");
    EXPECT_EQ(server.hits("/map/geoportal/wfs.php"), 2);
}

TEST_F(ServiceHostsTest, OverrideAnswersAreCachedUnderANameWithoutThePort) {
    EXPECT_EQ(cacheKeyOf("https://a.example:8443/x?y=1"), "https://a.example:8443/x?y=1");
    setServiceHostOverride("http://127.0.0.1:5000");
    const std::string key = cacheKeyOf("https://mapy.geoportal.gov.pl/wss/x?y=1");
    EXPECT_EQ(key.find("5000"), std::string::npos) << key;
    EXPECT_EQ(key.find("geoportal.gov.pl"), std::string::npos) << key;  // never a real service's key

    // A second run of the demo: the same service on another port finds the
    // first run's answer.
    kl::test::TempCacheHome home;
    kl::test::FaultServer first, second;
    for (auto* server : {&first, &second}) server->reply("/wfs", 200, "<a/>");
    WfsClient client(kl::test::loopbackTimings());
    setServiceHostOverride(first.url(""));
    EXPECT_EQ(client.getCachedText("https://powiat.example/wfs", 1000), "<a/>");
    setServiceHostOverride(second.url(""));
    EXPECT_EQ(cacheKeyOf("https://mapy.geoportal.gov.pl/wss/x?y=1"), key);
    EXPECT_EQ(client.getCachedText("https://powiat.example/wfs", 1000), "<a/>");
    EXPECT_EQ(first.hits("/wfs") + second.hits("/wfs"), 1);
}

TEST_F(ServiceHostsTest, RedirectsAreNotFollowedWhileTheOverrideIsOn) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    server.on("/moved", [](const httplib::Request&, httplib::Response& rs) {
        rs.set_redirect("http://127.0.0.2:1/elsewhere");
    });
    setServiceHostOverride("http://127.0.0.1:" + std::to_string(server.port()));
    WfsClient client(kl::test::loopbackTimings());
    const HttpResponse r = client.getWithTimeout("http://127.0.0.2:1/moved", 1000);
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.error, "");
}

}  // namespace
}  // namespace kl::net
