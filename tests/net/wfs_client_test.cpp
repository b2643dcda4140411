// The HTTP client and its download cache: retries, time-outs, the reasons a
// request fails, pacing, files that are whole or not there at all, and the
// service hosts that route its requests.
#include "net/wfs_client.h"

#include "net/capabilities.h"

#include "base/service_hosts.h"
#include "net/service_hosts.h"

#include "net/download_cache.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

namespace kl::net {
namespace {

namespace fs = std::filesystem;

const std::string kGml =
    "<?xml version=\"1.0\"?><wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
    "numberReturned=\"0\"></wfs:FeatureCollection>";

// The fault server for answers no service gives, the local geoportal's fault
// table for the ways real services fail.
class WfsClientTest : public kl::test::GeoportalSuite {
protected:
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    // Without an override the cache is keyed by the very URLs asked.
    WfsClient client{kl::test::loopbackTimings(), kl::settings::ServiceHosts{}};
};

TEST_F(WfsClientTest, RequestsCarryTheAgentAndTheirBodyAndFollowOnlyTheirOwnHostsWithoutRedirects) {
    std::vector<std::string> seen;  // agent, authorisation, type and body of the last request
    server.on("/ok", [&](const httplib::Request& rq, httplib::Response& rs) {
        seen = {rq.get_header_value("User-Agent"), rq.get_header_value("Authorization"),
                rq.get_header_value("Content-Type"), rq.body};
        rs.status = rq.method == "POST" ? 201 : 200;
        rs.set_content(kGml, "text/xml");
    });
    const HttpResponse r = client.get(server.url("/ok"));
    EXPECT_EQ(std::tie(r.ok, r.status, r.body, r.error), std::make_tuple(true, 200, kGml, std::string()));
    EXPECT_EQ(seen, (std::vector<std::string>{"KARTOLINK/0.1 (archicad-addon)", "", "", ""}));
    EXPECT_TRUE(client.postJson(server.url("/ok"), "{\"q\":1}").ok);
    EXPECT_EQ(seen, (std::vector<std::string>{"KARTOLINK/0.1 (archicad-addon)", "", "application/json", "{\"q\":1}"}));
    // Each client keeps its own hosts: one without an override asks the host its
    // URL names (127.0.0.2 has no listener), and no client follows a redirect.
    EXPECT_FALSE(client.getWithTimeout("http://127.0.0.2:1/x", 1000).ok);
    server.on("/moved", [](const httplib::Request&, httplib::Response& rs) { rs.set_redirect("http://127.0.0.2:1/x"); });
    const HttpResponse moved = WfsClient(kl::test::loopbackTimings(), server.hosts()).getWithTimeout(
        "http://127.0.0.2:1/moved", 1000);
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved.error, "");
}

// One failing answer of the local geoportal (or one that always fails), then a
// good one: a failure that may pass is asked once more, one that cannot is not
// repeated; only a whole answer is cached, and a service description that
// failed is neither read as a service without layers nor remembered.
TEST_F(WfsClientTest, AFailureThatMayPassIsAskedOnceMore) {
    using geoportal::FaultKind;
    const struct {
        FaultKind kind;
        int status, uses;   // uses of the fault; below 0 without limit
        std::string error;  // of the layer names; empty: they were read
    } cases[] = {
        {FaultKind::Status, 503, 1, ""}, {FaultKind::Exception, 0, 1, ""}, {FaultKind::Html, 0, 1, ""},
        {FaultKind::Cut, 0, 1, ""},      {FaultKind::Truncate, 0, 1, ""},
        {FaultKind::NotFound, 404, 1, "Serwer zwrocil status 404"},
        {FaultKind::Status, 503, -1, "Serwer zwrocil status 503"},
        {FaultKind::Html, 0, -1, "Serwer zwrocil strone HTML zamiast danych."},
    };
    const std::string endpoint = server_->baseUrl() + "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201";
    const auto failOnce = [](const auto& c) {
        server_->log().clear();
        server_->faults().clear();
        server_->faults().add({{c.kind, c.status}, "/wss/", "", c.uses});
    };
    const auto requests = [] { return server_->log().snapshot().size(); };
    for (const auto& c : cases) {
        SCOPED_TRACE(geoportal::faultName({c.kind, c.status}) + " x" + std::to_string(c.uses));
        const bool passes = c.error.empty();
        kl::test::TempCacheHome fresh;
        failOnce(c);
        const std::string url = endpoint + "?request=GetCapabilities";
        const CachedText t = client.fetchCachedText(url, 2000, ExpectedBody::Xml, true);
        EXPECT_EQ(requests(), c.kind == FaultKind::NotFound ? 1u : 2u);
        EXPECT_EQ(t.text.find("<Name>ms:dzialki</Name>") != std::string::npos, passes) << t.error;
        EXPECT_EQ(fs::exists(cachePathFor(url, "gml")), passes);
        failOnce(c);
        LayerNameCache names;
        const LayerNamesResult r = fetchLayerNames(client, names, endpoint);
        EXPECT_EQ(std::tie(r.ok, r.error, r.names.parcels),
                  std::make_tuple(passes, c.error, std::string(passes ? "ms:dzialki" : "")));
        const auto asked = requests();
        (void)fetchLayerNames(client, names, endpoint);
        EXPECT_EQ(requests() > asked, !passes);
    }
}

TEST(HostSpacing, PublicHostsArePacedLoopbackIsNot) {
    HostSpacing spacing(1000);
    const std::tuple<const char*, std::int64_t, std::int64_t> steps[] = {  // url, at, wait (ms)
        {"https://mapy.geoportal.gov.pl/wss/a", 0, 0},
        {"https://mapy.geoportal.gov.pl/wss/b", 300, 700},
        {"https://mapy.geoportal.gov.pl/wss/c", 2500, 0},
        {"https://wms.powiat.example/wfs", 2600, 0},  // another host has its own pace
        {"http://127.0.0.1:5000/a", 0, 0},
        {"http://127.0.0.1:5000/b", 10, 0},
        {"http://localhost:8080/x", 10, 0},
        {"http://[::1]:8080/x", 10, 0},
        {"http://127.0.0.1.example/x", 0, 0},
        {"http://127.0.0.1.example/y", 10, 990},  // only looks like loopback
    };
    for (const auto& [url, at, wait] : steps) EXPECT_EQ(spacing.claim(url, at), wait) << url << " at " << at;
}

TEST_F(WfsClientTest, DamagedCacheFileIsEvictedAndFetchedAgain) {
    server.reply("/gml", 200, kGml);
    const std::string path = cachePathFor(server.url("/gml"), "gml");
    for (const std::string& junk : {std::string("<html>junk left by an older version</html>"), kGml.substr(0, 60)}) {
        std::ofstream(path) << junk;
        EXPECT_EQ(client.getCachedText(server.url("/gml"), 1000), kGml);
    }
    EXPECT_EQ(server.hits("/gml"), 2);
    client.evictCachedText(server.url("/gml"));
    EXPECT_FALSE(fs::exists(path));
}

// At most one progress report per percent (plus the first and the closing
// one); the second request is served from disk without traffic or progress.
TEST_F(WfsClientTest, SlowButSteadyBodiesAreNotCutAndCachedFilesStreamWithRateLimitedProgress) {
    // Eight chunks paced 100 ms apart: the transfer outlasts the 600 ms limit,
    // no single wait comes near it.
    server.chunked("/steady", 8 * 1000, 1000, 100);
    const HttpResponse r = client.getWithTimeout(server.url("/steady"), 600);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body.size(), 8000u);
    constexpr std::int64_t kTotal = 3 * 1024 * 1024;
    server.chunked("/pkg.zip", kTotal, 16 * 1024, 0);
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    const DownloadProgress progress = [&](std::int64_t got, std::int64_t total) {
        return reports.emplace_back(got, total), true;
    };
    std::string error;
    const std::string path = client.getCachedFile(server.url("/pkg.zip"), progress, 2000, error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(path, cachePathFor(server.url("/pkg.zip"), "zip"));
    EXPECT_EQ(std::int64_t(fs::file_size(path)), kTotal);
    ASSERT_TRUE(reports.size() >= 50u && reports.size() <= 102u) << reports.size();
    EXPECT_EQ(reports.back(), std::make_pair(kTotal, kTotal));
    for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i].first, reports[i - 1].first);
    EXPECT_EQ(std::distance(fs::directory_iterator(cacheDir()), {}), 1);
    reports.clear();
    EXPECT_EQ(client.getCachedFile(server.url("/pkg.zip"), progress, 2000, error), path);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(server.hits("/pkg.zip"), 1);
}

// A stalled server holds the request until the test ends: the call returning
// at all shows the client gave up on its own. A call that does not retry asks
// a busy server once; a download that cannot finish leaves no file.
TEST_F(WfsClientTest, ARequestThatCannotSucceedSaysWhy) {
    server.stalls("/slow");
    server.stalls("/silent.zip");
    server.reply("/busy", 503, "");
    server.chunked("/stall.zip", 200000, 50000, 0, 50000);
    server.chunked("/big.zip", 4 * 1024 * 1024, 64 * 1024, 0);
    server_->faults().add({{geoportal::FaultKind::NotFound, 404}, "/gone.zip", "", -1});
    server_->faults().add({{geoportal::FaultKind::Html}, "/page.zip", "", -1});
    const DownloadProgress cancelAtOneMegabyte = [](std::int64_t got, std::int64_t) { return got < 1024 * 1024; };
    const struct {
        std::string url;
        int status;  // below 0: downloaded to a file
        std::string error;
        ExpectedBody expected = ExpectedBody::Binary;
        DownloadProgress progress = nullptr;
    } cases[] = {
        {server.url("/slow"), 0, "Brak odpowiedzi serwera"},
        {server.url("/busy"), 503, ""},
        {"http://127.0.0.1:1/x", 0, "Brak polaczenia z 127.0.0.1:1"},  // nobody may listen on port 1
        {"not a url", 0, "Nieprawidlowy URL: not a url"},
        {"ftp://127.0.0.1/x", 0, "Nieprawidlowy URL: ftp://127.0.0.1/x"},
        {server.url("/stall.zip"), -1, "Pobieranie przerwane (48,8 KB z 195,3 KB)."},
        {server_->baseUrl() + "/gone.zip", -1, "Serwer zwrocil status 404"},
        {server_->baseUrl() + "/page.zip", -1, "Serwer zwrocil strone HTML zamiast danych.", ExpectedBody::Zip},
        {server.url("/big.zip"), -1, "Pobieranie anulowane.", ExpectedBody::Binary, cancelAtOneMegabyte},
        // A cancel is heard while the server says nothing, not only between data.
        {server.url("/silent.zip"), -1, "Pobieranie anulowane.", ExpectedBody::Binary,
         [](std::int64_t, std::int64_t) { return false; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        if (c.status < 0) {
            std::string error;
            EXPECT_EQ(client.getCachedFile(c.url, c.progress, 1000, error, c.expected), "");
            EXPECT_EQ(error, c.error);
            continue;
        }
        const HttpResponse r = client.getWithTimeout(c.url, 1000);
        EXPECT_EQ(std::tie(r.ok, r.status, r.body, r.error), std::make_tuple(false, c.status, std::string(), c.error));
    }
    EXPECT_TRUE(fs::is_empty(cacheDir()));
    EXPECT_EQ(client.postJson(server.url("/busy"), "{}").status, 503);
    EXPECT_EQ(server.hits("/slow") + server.hits("/busy"), 3);
    // A cancel cuts a silent request short, and it is not asked again.
    client.stopWhen([] { return true; });
    const HttpResponse stopped = client.get(server.url("/silent.zip"));
    EXPECT_EQ(std::tie(stopped.ok, stopped.error), std::make_tuple(false, std::string("Pobieranie anulowane.")));
    const int busyBefore = server.hits("/busy");
    client.stopWhen([&] { return server.hits("/busy") > busyBefore; });
    EXPECT_FALSE(client.get(server.url("/busy")).ok);
    EXPECT_EQ(server.hits("/busy"), busyBefore + 1);
}

TEST(ServiceHosts, OverrideReplacesSchemeHostAndPortOnlyAndItsAnswersAreCachedWithoutThePort) {
    const settings::ServiceHosts national;
    const settings::ServiceHosts local = settings::serviceHostsWithOverride("http://127.0.0.1:5000/");
    const std::tuple<const settings::ServiceHosts&, std::string, std::string> rows[] = {  // hosts, url, routed
        {national, "https://a.example/x?y=1", "https://a.example/x?y=1"},
        {local, "https://glogow.geoportal2.pl:8443/map/geoportal/wfs.php?a=b",
         "http://127.0.0.1:5000/map/geoportal/wfs.php?a=b"},
        {local, "https://host.example?x=1", "http://127.0.0.1:5000/?x=1"},
        {local, "https://host.example", "http://127.0.0.1:5000/"},
        {local, "http://127.0.0.1:5000/p", "http://127.0.0.1:5000/p"},  // already routed
    };
    for (const auto& [hosts, url, routed] : rows) EXPECT_EQ(routeThroughOverride(hosts, url), routed) << url;
    EXPECT_EQ(nationalServiceUrl(national, kAdministrativeBoundariesWfsPath),
              "https://mapy.geoportal.gov.pl/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(nationalServiceUrl(local, kBdot10kNewBuildingsWfsPath),
              "http://127.0.0.1:5000/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki");
    // Answers through an override are cached under a name without the port.
    // Stored caches are found under this name: it must never change.
    EXPECT_EQ(cacheKeyOf(national, "https://a.example:8443/x?y=1"), "https://a.example:8443/x?y=1");
    EXPECT_EQ(cacheKeyOf(local, "https://mapy.geoportal.gov.pl/wss/x?y=1"), "kartolink-local-services:/wss/x?y=1");
}

// The pages' hosts and the add-on's requests follow one reading of the environment.
TEST(ServiceHosts, TheEnvironmentNamesTheOverrideUnlessMalformed) {
    const struct {
        const char* hostsVar;  // nullptr: unset
        const char* baseVar;
        std::string origin;    // "" = the national hosts
    } rows[] = {
        {nullptr, "http://127.0.0.1:6000", "http://127.0.0.1:6000"},
        {"http://127.0.0.1:6500/", "http://127.0.0.1:6000", "http://127.0.0.1:6500"},  // the pages' variable first
        {"127.0.0.1:6000/path", "http://127.0.0.1:6000/with/path", ""},
        {nullptr, nullptr, ""},  // last: the other tests run without them
    };
    for (const auto& r : rows) {
        for (const auto& [name, value] : {std::pair{"KL_SERVICE_HOSTS", r.hostsVar}, std::pair{"KL_SERVICE_BASE", r.baseVar}})
            value ? ::setenv(name, value, 1) : ::unsetenv(name);
        const settings::ServiceHosts hosts = settings::configuredServiceHosts();
        EXPECT_EQ(hosts.overrideOrigin, r.origin) << r.origin;
        EXPECT_EQ(hosts.orto, r.origin.empty() ? settings::ServiceHosts{}.orto : r.origin);
        EXPECT_EQ(hosts.nominatim, r.origin.empty() ? settings::ServiceHosts{}.nominatim : r.origin);
    }
}

void touch(const fs::path& p, const std::string& text = "x") { std::ofstream(p, std::ios::binary) << text; }

// The id of a process that has ended.
pid_t endedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(DownloadCache, PublishWritesWholeFilesAndSweepKeepsLiveDownloadsAndRecentFiles) {
    kl::test::TempCacheHome home;
    const std::string path = cachePathFor("http://h/x", "gml");
    touch(path, "old content that is longer");
    ASSERT_TRUE(publishCacheFile(path, "new"));
    std::string back;
    ASSERT_TRUE(readCacheFile(path, back));
    EXPECT_EQ(back, "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(cacheDir()), {}), 1);  // no temporary left
    EXPECT_FALSE(publishCacheFile("/nonexistent-kl-dir/sub/file.gml", "data"));
    // A folder where a file was expected is no file (its stream size is not a content size).
    EXPECT_FALSE(readCacheFile(std::filesystem::temp_directory_path().string(), back));
    const fs::path dir = cacheDir();
    const auto now = fs::file_time_type::clock::now();
    const std::string live = std::to_string(::getpid());
    const std::string ended = std::to_string(endedProcessId());
    // Named as the writer names it: the sweep reads the process id from that form.
    const std::string ours = fs::path(temporaryPathFor(cachePathFor("u", "zip"))).filename();
    EXPECT_NE(ours, fs::path(temporaryPathFor(cachePathFor("u", "zip"))).filename());
    const struct {
        std::string name;
        int ageHours;
        bool kept;
    } rows[] = {
        {"old.gml", 24 * 31, false},
        {"recent.gml", 24 * 29, true},
        {ours, 0, true},  // a download in progress
        {"ended.zip.part." + ended + ".77.0", 0, false},
        {"stalled.zip.part." + live + ".77.1", 25, false},
        {"unnamed.zip.part.1469598103934665603.4", 0, false},  // no writer to ask
    };
    for (const auto& r : rows) {
        touch(dir / r.name);
        fs::last_write_time(dir / r.name, now - std::chrono::hours(r.ageHours));
    }
    EXPECT_EQ(sweepCache(dir, now), 4);
    for (const auto& r : rows) EXPECT_EQ(fs::exists(dir / r.name), r.kept) << r.name;
}

}  // namespace
}  // namespace kl::net
