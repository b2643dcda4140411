#include "shell/addon.h"

#include <exception>
#include <string>

#include "shell/palettes.h"
#include "shell/platform/diag_log.h"
#include "shell/platform/host_access.h"
#include "shell/worker_registry.h"

namespace kl::shell {
namespace {

void diag(const std::string& line) { platform::appendDiagLine("ordvik_web_diag.txt", line); }

void report(const char* text) { host()->WriteReport(text, 0); }

// No module cleans duplicates yet; the item stays so the menu keeps its layout.
void reportCleanupMissing() { report("KARTOLINK: polecenie czyszczenia duplikatow nie jest jeszcze dostepne."); }

// Workers first: they may still be using what the palettes' controllers own.
void tearDown() {
    const auto stopped = WorkerRegistry::instance().shutdown();
    if (stopped.abandoned > 0) diag("quit: " + std::to_string(stopped.abandoned) + " worker(s) did not stop in time");
    MapPalette::destroyInstance();
    CloudPalette::destroyInstance();
}

}  // namespace

KlErr handleMenu(int32_t menuResId, int32_t itemIndex) {
    if (menuResId != kMenuResId) return KL_NOERROR;
    try {
        switch (itemIndex) {
            case 1: MapPalette::toggle(); break;
            case 2: CloudPalette::toggle(); break;
            case 3: reportCleanupMissing(); break;
            case 4: host()->ShellOpen("open", kMakerAddress, 1); break;
            default: break;
        }
    } catch (const std::exception& e) {
        diag(std::string("menu: ") + e.what());
    }
    return KL_NOERROR;
}

KlErr onProjectEvent(int32_t eventValue) {
    if (eventValue != KL_EVENT_QUIT) return KL_NOERROR;
    try {
        tearDown();
    } catch (const std::exception& e) {
        diag(std::string("quit: ") + e.what());
    }
    return KL_NOERROR;
}

}  // namespace kl::shell

namespace {

void loadString(int32_t index, char* buffer, size_t size) {
    if (kl::host()->GetIndString(kl::shell::kAddonStringsId, index, buffer, size) != KL_NOERROR && size > 0)
        buffer[0] = '\0';
}

}  // namespace

extern "C" {

int32_t CheckEnvironment(const KlHostFunctions* host, KlEnvironment* env) {
    kl::setHost(host);
    if (host && env) {
        loadString(1, env->name, sizeof env->name);
        loadString(2, env->description, sizeof env->description);
    }
    return KL_ADDON_PRELOAD;
}

KlErr RegisterInterface(void) { return kl::host()->RegisterMenu(kl::shell::kMenuResId, 0, 0, 0); }

KlErr Initialize(void) {
    using namespace kl::shell;
    kl::WorkerRegistry::instance().reopen();
    if (const KlErr err = kl::host()->InstallMenuHandler(kMenuResId, &handleMenu)) return err;
    if (const KlErr err = MapPalette::registerWithHost()) return err;
    return CloudPalette::registerWithHost();
}

KlErr FreeData(void) {
    // Normally the quit event has stopped them already.
    kl::WorkerRegistry::instance().shutdown();
    return KL_NOERROR;
}
}
