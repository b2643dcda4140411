#include "base/host_access.h"

#include <atomic>

namespace kl {
namespace {
std::atomic<const KlHostFunctions*> g_host{nullptr};
}

const KlHostFunctions* host() { return g_host.load(std::memory_order_acquire); }
void setHost(const KlHostFunctions* table) { g_host.store(table, std::memory_order_release); }

}  // namespace kl
