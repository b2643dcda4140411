#include "base/controller_registry.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/entry_barrier.h"

namespace kl::shell {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<PaletteKind, HandlerInstaller>> installers;
    std::map<PaletteKind, PageChannel> channels;
};

// Constructed on first use, so registrations from static objects of other
// translation units are safe whatever their initialisation order.
Registry& registry() {
    static Registry r;
    return r;
}

PageChannel channelOf(PaletteKind kind) {
    auto& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.channels.find(kind);
    return it == r.channels.end() ? PageChannel{} : it->second;
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
    for (const auto& installer : selected) platform::guarded("registerHandlers failed", [&] { installer(bridge); });
}

void setPageChannel(PaletteKind kind, PageChannel channel) {
    auto& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.channels[kind] = std::move(channel);
}

void sendToPage(PaletteKind kind, const std::string& type, nlohmann::json message) {
    if (const PageChannel channel = channelOf(kind); channel.send) channel.send(type, std::move(message));
}

bool pageIsOpen(PaletteKind kind) {
    const PageChannel channel = channelOf(kind);
    return channel.isOpen && channel.isOpen();
}

bool postForPage(PaletteKind kind, std::function<void()> task, std::function<void()> onFailure) {
    const PageChannel channel = channelOf(kind);
    return channel.post && channel.post(std::move(task), std::move(onFailure));
}

}  // namespace kl::shell
