#include "net/service_hosts.h"

#include "base/service_hosts.h"
#include "net/wfs_client.h"
#include "tests/net/fault_server.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

using settings::ServiceHosts;
using settings::serviceHostsWithOverride;

ServiceHosts routedTo(const test::FaultServer& server) { return serviceHostsWithOverride(server.url("")); }

TEST(ServiceHosts, OverrideReplacesSchemeHostAndPortOnly) {
    const ServiceHosts national;
    const ServiceHosts local = serviceHostsWithOverride("http://127.0.0.1:5000/");
    struct Row {
        const ServiceHosts& hosts;
        std::string url, routed;
    };
    const Row rows[] = {
        {national, "https://a.example/x?y=1", "https://a.example/x?y=1"},
        {local, "https://glogow.geoportal2.pl:8443/map/geoportal/wfs.php?a=b",
         "http://127.0.0.1:5000/map/geoportal/wfs.php?a=b"},
        {local, "https://host.example?x=1", "http://127.0.0.1:5000/?x=1"},
        {local, "https://host.example", "http://127.0.0.1:5000/"},
        {local, "http://127.0.0.1:5000/p", "http://127.0.0.1:5000/p"},  // already routed
    };
    for (const Row& r : rows) EXPECT_EQ(routeThroughOverride(r.hosts, r.url), r.routed) << r.url;
    EXPECT_EQ(nationalServiceUrl(national, kAdministrativeBoundariesWfsPath),
              "https://mapy.geoportal.gov.pl/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(nationalServiceUrl(local, kBdot10kNewBuildingsWfsPath),
              "http://127.0.0.1:5000/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki");
}

// The pages' hosts and the add-on's requests follow one reading of the environment.
TEST(ServiceHosts, TheEnvironmentNamesTheOverrideUnlessMalformed) {
    struct Row {
        const char* hostsVar;  // nullptr: unset
        const char* baseVar;
        std::string origin;    // "" = the national hosts
    };
    const Row rows[] = {
        {nullptr, nullptr, ""},
        {nullptr, "http://127.0.0.1:6000", "http://127.0.0.1:6000"},
        {"http://127.0.0.1:6500/", "http://127.0.0.1:6000", "http://127.0.0.1:6500"},  // the pages' variable first
        {"127.0.0.1:6000/path", "http://127.0.0.1:6000/with/path", ""},
    };
    for (const Row& r : rows) {
        const std::pair<const char*, const char*> variables[] = {{"KL_SERVICE_HOSTS", r.hostsVar},
                                                                 {"KL_SERVICE_BASE", r.baseVar}};
        for (const auto& [name, value] : variables) {
            if (value) ::setenv(name, value, 1);
            else ::unsetenv(name);
        }
        const ServiceHosts hosts = settings::configuredServiceHosts();
        EXPECT_EQ(hosts.overrideOrigin, r.origin) << r.origin;
        EXPECT_EQ(hosts.orto, r.origin.empty() ? ServiceHosts{}.orto : r.origin);
        EXPECT_EQ(hosts.nominatim, r.origin.empty() ? ServiceHosts{}.nominatim : r.origin);
    }
    ::unsetenv("KL_SERVICE_HOSTS");
    ::unsetenv("KL_SERVICE_BASE");
}

TEST(ServiceHosts, ClientSendsEveryRequestThroughItsOverride) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    server.reply("/map/geoportal/wfs.php", 200, "<a/>");
    WfsClient client(kl::test::loopbackTimings(), routedTo(server));
    // 127.0.0.2 has no listener: reaching the server proves the rewrite.
    EXPECT_TRUE(client.get("http://127.0.0.2:1/map/geoportal/wfs.php").ok);
    EXPECT_EQ(client.getCachedText("http://127.0.0.2:1/map/geoportal/wfs.php", 1000), "<a/>");
    EXPECT_EQ(server.hits("/map/geoportal/wfs.php"), 2);
    // Each client keeps its own hosts: one without an override beside it
    // asks the host its URL names.
    WfsClient direct(kl::test::loopbackTimings(), kl::settings::ServiceHosts{});
    EXPECT_FALSE(direct.getWithTimeout("http://127.0.0.2:1/map/geoportal/wfs.php", 1000).ok);
    EXPECT_TRUE(direct.get(server.url("/map/geoportal/wfs.php")).ok);
    EXPECT_EQ(server.hits("/map/geoportal/wfs.php"), 3);
}

TEST(ServiceHosts, OverrideAnswersAreCachedUnderANameWithoutThePort) {
    EXPECT_EQ(cacheKeyOf(ServiceHosts{}, "https://a.example:8443/x?y=1"), "https://a.example:8443/x?y=1");
    const std::string key =
        cacheKeyOf(serviceHostsWithOverride("http://127.0.0.1:5000"), "https://mapy.geoportal.gov.pl/wss/x?y=1");
    // Stored caches are found under this name: it must never change.
    EXPECT_EQ(key, "kartolink-local-services:/wss/x?y=1");

    // A second run of the demo: the same service on another port finds the
    // first run's answer.
    kl::test::TempCacheHome home;
    kl::test::FaultServer first, second;
    for (auto* server : {&first, &second}) server->reply("/wfs", 200, "<a/>");
    WfsClient firstRun(kl::test::loopbackTimings(), routedTo(first));
    EXPECT_EQ(firstRun.getCachedText("https://powiat.example/wfs", 1000), "<a/>");
    WfsClient secondRun(kl::test::loopbackTimings(), routedTo(second));
    EXPECT_EQ(cacheKeyOf(secondRun.hosts(), "https://mapy.geoportal.gov.pl/wss/x?y=1"), key);
    EXPECT_EQ(secondRun.getCachedText("https://powiat.example/wfs", 1000), "<a/>");
    EXPECT_EQ(first.hits("/wfs") + second.hits("/wfs"), 1);
}

TEST(ServiceHosts, RedirectsAreNotFollowedWhileTheOverrideIsOn) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    server.on("/moved", [](const httplib::Request&, httplib::Response& rs) {
        rs.set_redirect("http://127.0.0.2:1/elsewhere");
    });
    WfsClient client(kl::test::loopbackTimings(), routedTo(server));
    const HttpResponse r = client.getWithTimeout("http://127.0.0.2:1/moved", 1000);
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.error, "");
}

}  // namespace
}  // namespace kl::net
