#include "shell/controller_registry.h"

#include <exception>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "shell/platform/diag_log.h"

namespace kl::shell {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<PaletteKind, HandlerInstaller>> installers;
};

// Constructed on first use, so registrations from static objects of other
// translation units are safe whatever their initialisation order.
Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

void registerControllerHandlers(PaletteKind kind, HandlerInstaller installer) {
    if (!installer) return;
    auto& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.installers.emplace_back(kind, std::move(installer));
}

void installControllerHandlers(PaletteKind kind, Bridge& bridge) {
    std::vector<HandlerInstaller> selected;
    {
        auto& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (const auto& [k, installer] : r.installers)
            if (k == kind) selected.push_back(installer);
    }
    for (const auto& installer : selected) {
        try {
            installer(bridge);
        } catch (const std::exception& e) {
            platform::appendDiagLine("ordvik_web_diag.txt", std::string("registerHandlers failed: ") + e.what());
        }
    }
}

}  // namespace kl::shell
