#include "tests/shell/workbench_host.h"

#include <chrono>

#include "host/core/workbench.h"

namespace kl::test {

struct WorkbenchHost::State {
    kl::host::Workbench wb;
};

WorkbenchHost::WorkbenchHost() : state_(std::make_unique<State>()) {}
WorkbenchHost::~WorkbenchHost() = default;

const KlHostFunctions* WorkbenchHost::table() { return &kl::host::Workbench::hostTable(); }
void WorkbenchHost::serve(const KlResource* resources) { state_->wb.setResources(kl::host::ResourceTable(resources)); }

KlErr WorkbenchHost::menuCommand(int32_t menu, int32_t item) { return state_->wb.menuCommand(menu, item); }

KlMenuHandler WorkbenchHost::menuHandler(int32_t menu) const {
    const auto* m = state_->wb.menus().find(menu);
    return m ? m->handler : nullptr;
}

int32_t WorkbenchHost::menuFlags(int32_t menu, int32_t item) const {
    return state_->wb.menus().find(menu)->items.at(static_cast<size_t>(item) - 1).flags;
}

KlErr WorkbenchHost::control(size_t registration, int32_t message, int32_t* visible) {
    return state_->wb.paletteMessage(state_->wb.palettes().registrations().at(registration).referenceNumber, message,
                                     visible);
}

KlErr WorkbenchHost::resize(int32_t paletteId, int32_t dx, int32_t dy) {
    return state_->wb.resizePalette(paletteId, dx, dy);
}

int32_t WorkbenchHost::projectEvent(int32_t value) { return state_->wb.sendProjectEvent(value); }
void WorkbenchHost::armFault(const std::string& function, int64_t nth) {
    state_->wb.faults().arm({function, nth, KL_ERR_GENERAL, false, 0});
}

void WorkbenchHost::pageCall(int32_t browserId, const std::optional<std::string>& message) {
    state_->wb.pageCall(browserId, "GIS", "postMessage", message);
    state_->wb.executor().runPending();
}

std::vector<std::string> WorkbenchHost::takeScripts(int32_t browserId) {
    std::vector<std::string> out;
    auto& hub = state_->wb.hub();
    const auto stream = hub.attachStream(browserId);
    if (!stream) return out;
    for (auto& e : hub.next(browserId, *stream, std::chrono::milliseconds(0)).value_or(std::vector<kl::host::PageEvent>{}))
        if (e.kind == kl::host::PageEvent::Script) out.push_back(std::move(e.text));
    return out;
}

size_t WorkbenchHost::runPosted() { return state_->wb.executor().runPending(); }
size_t WorkbenchHost::escapedExceptions() const { return state_->wb.executor().escapedExceptions(); }

nlohmann::json WorkbenchHost::state() const { return state_->wb.state(); }

std::vector<std::string> WorkbenchHost::reports() const {
    std::vector<std::string> out;
    for (const auto& line : state_->wb.report()) out.push_back(line.text);
    return out;
}

}  // namespace kl::test
