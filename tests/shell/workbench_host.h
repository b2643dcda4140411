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

#include <nlohmann/json.hpp>

#include "host/sdk/kl_host_api.h"

namespace kl::test {

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
    // The control message to the n-th registered palette.
    KlErr control(size_t registration, int32_t message, int32_t* visible);

    KlErr resize(int32_t paletteId, int32_t dx, int32_t dy);

    int32_t projectEvent(int32_t value);
    void armFault(const std::string& function, int64_t nth);

    // What the page does; the main-thread work it starts is run.
    void pageCall(int32_t browserId, const std::optional<std::string>& message);
    // The scripts the browser got since the last call.
    std::vector<std::string> takeScripts(int32_t browserId);

    size_t runPosted();
    size_t escapedExceptions() const;

    // Menus, registrations, palettes and their browsers, the add-on's state, as
    // the workbench's own page is given them.
    nlohmann::json state() const;
    std::vector<std::string> reports() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kl::test
