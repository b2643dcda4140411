#include "base/host_access.h"

#include <atomic>
#include <cstddef>

namespace kl {
namespace {
std::atomic<const KlHostFunctions*> g_host{nullptr};
}

const KlHostFunctions* host() { return g_host.load(std::memory_order_acquire); }
void setHost(const KlHostFunctions* table) { g_host.store(table, std::memory_order_release); }

std::optional<int32_t> hostAlert(int32_t kind, const char* title, const char* text, const char* button1,
                                 const char* button2) {
    const KlHostFunctions* h = host();
    const bool offered =
        h && static_cast<size_t>(h->structSize) >= offsetof(KlHostFunctions, Alert) + sizeof h->Alert && h->Alert;
    int32_t pressed = 0;
    if (!offered || h->Alert(kind, title, text, button1, button2, nullptr, &pressed) != KL_NOERROR) return std::nullopt;
    return pressed;
}

}  // namespace kl
