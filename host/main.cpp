// kartolink-workbench: the stand-in host. Loads the add-on, serves the
// workbench page on loopback and prints its address.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "host/core/addon_session.h"
#include "host/core/desktop_open.h"
#include "host/core/project_load.h"
#include "host/demo_geoportal.h"
#include "host/options.h"
#include "host/server/workbench_server.h"

namespace {

std::atomic<bool> quitRequested{false};

void requestQuit() {
    quitRequested = true;
    if (auto* wb = kl::host::Workbench::current()) wb->abandonAlerts();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kl::host;
    std::string error;
    auto cmd = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!cmd) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), usageText());
        return 2;
    }

    // Signals are taken by one thread; every other thread inherits the mask.
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Demo mode: the local geoportal answers every service request. Its
    // address reaches the add-on through the environment, set before the
    // add-on is loaded.
    DemoGeoportal geoportal;
    if (cmd->demo) {
        std::error_code noTemp;
        std::filesystem::path temp = std::filesystem::temp_directory_path(noTemp);
        if (noTemp) temp = "/tmp";
        error = geoportal.start(demoGeoportalPath(), temp / ("kartolink-demo-" + std::to_string(::getpid())));
        if (!error.empty()) {
            std::fprintf(stderr, "workbench: %s\n", error.c_str());
            return 1;
        }
        std::cerr << "Geoportal: " << geoportal.baseUrl() << std::endl;
    }

    WorkbenchOptions options;
    options.launchExternal = !cmd->headless;
    options.userAnswersAlerts = true;
    if (cmd->demo) options.hostOptions["demo"] = "1";
    if (cmd->headless) options.hostOptions["headless"] = "1";
    Workbench wb(options);
    if (!cmd->openPath.empty()) {
        // All or nothing: a file with one bad part starts no workbench at all.
        error = loadProjectFile(wb.project(), cmd->openPath);
        if (!error.empty()) {
            std::fprintf(stderr, "workbench: nie otwarto projektu: %s\n", error.c_str());
            return 1;
        }
    } else if (cmd->demo) {
        // The demo project lies at the demo site, so the map opens over it.
        const DemoSite& f = geoportal.site();
        KlGeoLocation at = wb.project().geoLocation();
        at.latitude = (f.south + f.north) / 2;
        at.longitude = (f.west + f.east) / 2;
        at.hasLocation = 1;
        wb.project().setGeoLocation(at);
    }

    std::thread([quitSignals] {
        int sig = 0;
        sigwait(&quitSignals, &sig);
        requestQuit();
    }).detach();
    if (cmd->stdinQuit)
        std::thread([] {
            char buf[256];
            while (read(STDIN_FILENO, buf, sizeof buf) > 0) {
            }
            requestQuit();
        }).detach();

    AddonSession session(wb);
    if (cmd->withAddon) {
        const std::string path = cmd->addonPath.empty() ? defaultAddonPath() : cmd->addonPath;
        if (!session.start(path)) std::fprintf(stderr, "workbench: %s\n", wb.addon().error.c_str());
    }

    ServerOptions serverOptions;
    serverOptions.port = cmd->port;
    serverOptions.onQuitRequest = [] { requestQuit(); };
    WorkbenchServer server(wb, serverOptions);
    if (!server.start(error)) {
        std::fprintf(stderr, "workbench: %s\n", error.c_str());
        session.stop();
        return 1;
    }
    std::cout << "Workbench: " << server.url() << std::endl;
    if (!cmd->headless && !openWithDesktop(server.url()))
        std::fprintf(stderr, "workbench: could not start xdg-open; open the address yourself\n");

    while (!quitRequested) wb.executor().runFor(std::chrono::milliseconds(200));

    server.stop();
    session.stop();
    std::cout.flush();
    return 0;
}
