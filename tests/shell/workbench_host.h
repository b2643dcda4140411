#pragma once
// The workbench host the shell tests run under, seen through plain values: the
// workbench's namespace kl::host would hide the add-on's kl::host() accessor
// in a file that also includes the shell.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::test {

struct Registration {
    int32_t referenceNumber = 0;
    int32_t flags = 0;
    KlGuid guid{};
};

struct PaletteState {
    int32_t id = 0;
    bool visible = false;
    bool enabled = true;
    int32_t browserId = 0;  // 0: no browser
    int32_t browserWidth = 0, browserHeight = 0;
    std::string url;
};

class WorkbenchHost {
public:
    WorkbenchHost();
    ~WorkbenchHost();
    WorkbenchHost(const WorkbenchHost&) = delete;
    WorkbenchHost& operator=(const WorkbenchHost&) = delete;

    static const KlHostFunctions* table();
    void serve(const KlResource* resources);

    KlErr menuCommand(int32_t menu, int32_t item);
    KlMenuHandler menuHandler(int32_t menu) const;  // nullptr: no such menu
    int32_t menuFlags(int32_t menu, int32_t item) const;
    std::vector<Registration> registrations() const;
    // The control message to the n-th registered palette.
    KlErr control(size_t registration, int32_t message, int32_t* visible);

    std::optional<PaletteState> palette(int32_t dialogResId) const;
    size_t paletteCount() const;
    bool browserAlive(int32_t browserId) const;
    KlErr resize(int32_t paletteId, int32_t dx, int32_t dy);
    std::optional<int32_t> closeRequest(int32_t paletteId);

    int32_t projectEvent(int32_t value);
    bool keepsInMemory() const;
    void armFault(const std::string& function, int64_t nth);

    // What the page does; the main-thread work it starts is run.
    void pageCall(int32_t browserId, const std::optional<std::string>& message);
    // The scripts the browser got since the last call.
    std::vector<std::string> takeScripts(int32_t browserId);

    size_t runPosted();
    size_t escapedExceptions() const;

    std::vector<std::string> reports() const;
    std::vector<std::string> shellOpens() const;  // "verb address mode"

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kl::test
