// Headless point-cloud download: the same pipeline as the cloud palette,
// from a frame on the command line to an E57 file (and a LAZ copy).
//
//   kartolink-cloud --frame W,S,E,N --quality 0|1|2 [--demo] --out FILE.e57 [--laz FILE.laz]
//
// Exit codes: 0 a complete cloud; 3 a cloud was written but some tiles were
// skipped or the index may not have listed them all (the note on stderr says
// how many of how many were used), so scripts cannot take it for complete;
// 1 no cloud (the previous files are left as they were); 2 bad arguments.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/service_hosts.h"
#include "cloud/pipeline/cloud_download.h"
#include "geodata/polish_crs.h"
#include "net/wfs_client.h"
#include "tools/cli/command_line.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

namespace {

constexpr const char* kUsage =
    "uzycie: kartolink-cloud --frame W,S,E,N [--quality 0|1|2] [--demo] --out PLIK.e57 [--laz PLIK.laz]\n";

int usage(const std::string& why) {
    std::fprintf(stderr, "kartolink-cloud: %s\n%s", why.c_str(), kUsage);
    return 2;
}

bool parseFrame(const std::string& text, double v[4]) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        const auto r = std::from_chars(p, end, v[i]);
        if (r.ec != std::errc() || !std::isfinite(v[i])) return false;
        p = r.ptr;
        if (i < 3) {
            if (p == end || *p != ',') return false;
            ++p;
        }
    }
    return p == end && v[0] < v[2] && v[1] < v[3];
}

constexpr int kExitPartial = 3;

std::string number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string fixed(double v, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string frameText, out, laz;
    int quality = 1;
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (kl::tools::isHelpFlag(a)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--frame" && i + 1 < argc) frameText = argv[++i];
        else if (a == "--quality" && i + 1 < argc) {
            const auto q = kl::tools::wholeNumberArgument(argv[++i], 0, 2);
            if (!q) return usage("--quality musi byc 0, 1 albo 2");
            quality = *q;
        } else if (a == "--out" && i + 1 < argc) out = argv[++i];
        else if (a == "--laz" && i + 1 < argc) laz = argv[++i];
        else if (a == "--demo") demo = true;
        else return usage("nieznany lub niepelny argument: " + a);
    }
    if (out.empty()) return usage("brak --out");
    // Before any download: a path that cannot be written would waste it.
    for (const std::string& path : {out, laz})
        if (!path.empty())
            if (const std::string problem = kl::tools::outputPathProblem(path); !problem.empty()) {
                std::fprintf(stderr, "kartolink-cloud: %s\n", problem.c_str());
                return 1;
            }

    std::unique_ptr<kl::geoportal::GeoportalServer> server;
    kl::settings::ServiceHosts hosts = kl::settings::configuredServiceHosts();
    if (demo) {
        server = std::make_unique<kl::geoportal::GeoportalServer>();
        const auto started = server->start();
        if (!started.ok) {
            std::fprintf(stderr, "kartolink-cloud: %s\n", started.message.c_str());
            return 1;
        }
        hosts = kl::settings::serviceHostsWithOverride(server->baseUrl());
        if (frameText.empty()) {
            namespace d = kl::geoportal::demo;
            frameText = number(d::kWest) + "," + number(d::kSouth) + "," + number(d::kEast) + "," + number(d::kNorth);
        }
    }
    double f[4];
    if (!parseFrame(frameText, f)) return usage("--frame wymaga W,S,E,N w stopniach (W<E, S<N)");

    kl::cloud::CloudDownloadRequest req;
    req.frame = kl::geo::pl1992BoxFromWgs84Frame(f[0], f[1], f[2], f[3]);
    req.detail = static_cast<kl::cloudui::Detail>(quality);
    req.placeEpsg = kl::geo::pl2000EpsgForLongitude((f[0] + f[2]) / 2);
    req.outputFile = out;
    req.lazOutputFile = laz;
    if (demo) req.currentYear = kl::geoportal::demo::kLidarLastOfferedYear;

    kl::net::WfsClient client({}, hosts);
    kl::cloud::LidarResolver resolver(client);
    std::string lastLabel;
    const auto result = kl::cloud::runCloudDownload(
        req, resolver,
        [&](const kl::cloud::CloudProgress& p) {
            if (p.label == lastLabel && !p.cancellable) return;
            lastLabel = p.label;
            std::fprintf(stderr, "\r%-60s %5s%%", p.label.c_str(), fixed(p.pct, 1).c_str());
            std::fflush(stderr);
        },
        [] { return false; });
    std::fprintf(stderr, "\n");
    for (const auto& w : result.warnings) std::fprintf(stderr, "Uwaga: %s\n", w.c_str());
    if (!result.ok) {
        std::fprintf(stderr, "kartolink-cloud: %s\n", result.message.c_str());
        return 1;
    }
    std::printf("%s: %lld punktow, EPSG:%d, poczatek E=%s N=%s, kafli: %d z %d\n", out.c_str(),
                static_cast<long long>(result.count), result.placeEpsg, fixed(result.originE, 3).c_str(),
                fixed(result.originN, 3).c_str(), result.tilesProcessed, result.tilesTotal);
    if (!result.lazPath.empty()) std::printf("%s: kopia LAZ\n", result.lazPath.c_str());
    if (kl::cloud::isPartial(result)) {
        std::fprintf(stderr, "kartolink-cloud: %s\n", kl::cloud::partialCloudNote(result).c_str());
        return kExitPartial;
    }
    return 0;
}
