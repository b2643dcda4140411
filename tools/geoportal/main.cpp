// kartolink-geoportal: the local geoportal for tests, benchmarks and the demo.

#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/demo_registry.h"
#include "tools/geoportal/geoportal_server.h"
#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/model_packages.h"
#include "tools/geoportal/text_util.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

namespace {

std::atomic<bool> g_quit{false};

void onSignal(int) { g_quit = true; }

const char* kUsage =
    "Uzycie: kartolink-geoportal [--port N] [--host 127.0.0.1] [--max-features N] [--matched-unknown] [--print-demo]\n"
    "                            [--lidar-sheet M] [--lidar-density D] [--lidar-cache FOLDER] [--demo-registry FOLDER]\n"
    "  Uruchamia lokalny geoportal (tylko 127.0.0.1) i wypisuje: Geoportal: http://127.0.0.1:PORT\n"
    "  --lidar-sheet   bok arkusza LiDAR w metrach (50-2000, domyslnie 250)\n"
    "  --lidar-density gestosc punktow na m2 (do 50, domyslnie 12)\n"
    "  --lidar-cache   folder wygenerowanych kafli LAZ\n"
    "  --print-demo  wypisuje opis obszaru demonstracyjnego (JSON) i konczy.\n"
    "  --demo-registry  zapisuje w folderze rejestr uslug powiatu demo (dla KL_REGISTRY_DIR) i po adresie\n"
    "                wypisuje ramke obszaru demo: Obszar: W,S,E,N (WGS84)\n";

}  // namespace

int main(int argc, char** argv) {
    kl::geoportal::ServerOptions options;
    bool printDemo = false;
    std::string demoRegistry;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (arg == "--port") {
            auto port = kl::geoportal::parseInt(next());
            if (!port || *port < 0 || *port > 65535) {
                std::fprintf(stderr, "Nieprawidlowy port.\n%s", kUsage);
                return 2;
            }
            options.port = static_cast<int>(*port);
        } else if (arg == "--host") {
            options.host = next();
        } else if (arg == "--max-features") {
            auto n = kl::geoportal::parseInt(next());
            if (!n || *n < 1) {
                std::fprintf(stderr, "Nieprawidlowa liczba obiektow.\n%s", kUsage);
                return 2;
            }
            options.config.maxFeatures = *n;
        } else if (arg == "--lidar-sheet" || arg == "--lidar-density") {
            auto v = kl::geoportal::parseDouble(next());
            const bool sheet = arg == "--lidar-sheet";
            if (!v || !(sheet ? kl::geoportal::validLidarSheetMetres(*v) : kl::geoportal::validLidarDensity(*v))) {
                std::fprintf(stderr, "Nieprawidlowa wartosc %s.\n%s", arg.c_str(), kUsage);
                return 2;
            }
            (sheet ? options.config.lidarSheetMetres : options.config.lidarDensity) = *v;
        } else if (arg == "--lidar-cache") {
            options.config.lidarCacheDir = next();
        } else if (arg == "--matched-unknown") {
            options.config.matchedUnknown = true;
        } else if (arg == "--demo-registry") {
            demoRegistry = next();
        } else if (arg == "--print-demo") {
            printDemo = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "Nieznana opcja: %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    kl::geoportal::GeoportalServer server(options);
    if (printDemo) {
        std::printf("%s\n", server.describeJson().c_str());
        return 0;
    }
    // The county building packages are built before the address is printed,
    // so that the first download is not also their construction.
    kl::geoportal::demoModelPackages();
    const auto started = server.start();
    if (!started.ok) {
        std::fprintf(stderr, "%s\n", started.message.c_str());
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("Geoportal: %s\n", server.baseUrl().c_str());
    if (!demoRegistry.empty()) {
        if (const std::string error = kl::geoportal::writeDemoRegistry(server.baseUrl(), demoRegistry); !error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            server.stop();
            return 1;
        }
        using namespace kl::geoportal::demo;
        std::printf("Obszar: %s,%s,%s,%s\n", kl::geoportal::formatFixed(kWest, 5).c_str(),
                    kl::geoportal::formatFixed(kSouth, 5).c_str(), kl::geoportal::formatFixed(kEast, 5).c_str(),
                    kl::geoportal::formatFixed(kNorth, 5).c_str());
    }
    std::fflush(stdout);
    while (!g_quit) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    return 0;
}
