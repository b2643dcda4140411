#include "shell/addon.h"

#include <string>

#include "cleanup/remove_duplicates_command.h"
#include "shell/palettes.h"
#include "base/diag_log.h"
#include "shell/web_diag.h"
#include "base/entry_barrier.h"
#include "base/host_access.h"
#include "base/worker_registry.h"

namespace kl::shell {
namespace {

// Workers first: they may still be using what the palettes' controllers own.
void tearDown() {
    const auto stopped = WorkerRegistry::instance().shutdown();
    if (stopped.abandoned > 0) diag("quit: " + std::to_string(stopped.abandoned) + " worker(s) did not stop in time");
    MapPalette::destroyInstance();
    CloudPalette::destroyInstance();
}

}  // namespace

KlErr handleMenu(int32_t menuResId, int32_t itemIndex) noexcept {
    if (menuResId != kMenuResId) return KL_NOERROR;
    platform::guarded("menu", [itemIndex] {
        switch (itemIndex) {
            case 1: MapPalette::toggle(); break;
            case 2: CloudPalette::toggle(); break;
            case 3: cleanup::runRemoveDuplicatesCommand(); break;
            case 4: host()->ShellOpen("open", kMakerAddress, 1); break;
            default: break;
        }
    });
    return KL_NOERROR;
}

KlErr onProjectEvent(int32_t eventValue) noexcept {
    if (eventValue == KL_EVENT_QUIT) platform::guarded("quit", tearDown);
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

int32_t CheckEnvironment(const KlHostFunctions* host, KlEnvironment* env) noexcept {
    kl::setHost(host);
    kl::platform::guarded("CheckEnvironment", [host, env] {
        if (host && env) {
            loadString(1, env->name, sizeof env->name);
            loadString(2, env->description, sizeof env->description);
        }
    });
    return KL_ADDON_PRELOAD;
}

KlErr RegisterInterface(void) noexcept {
    return kl::platform::guarded("RegisterInterface", KlErr{KL_ERR_GENERAL},
                                 [] { return kl::host()->RegisterMenu(kl::shell::kMenuResId, 0, 0, 0); });
}

KlErr Initialize(void) noexcept {
    return kl::platform::guarded("Initialize", KlErr{KL_ERR_GENERAL}, [] {
        using namespace kl::shell;
        kl::WorkerRegistry::instance().reopen();
        if (const KlErr err = kl::host()->InstallMenuHandler(kMenuResId, &handleMenu)) return err;
        if (const KlErr err = MapPalette::registerWithHost()) return err;
        return CloudPalette::registerWithHost();
    });
}

KlErr FreeData(void) noexcept {
    // Normally the quit event has stopped them already.
    kl::platform::guarded("FreeData", [] { kl::WorkerRegistry::instance().shutdown(); });
    return KL_NOERROR;
}
}
