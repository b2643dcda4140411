#pragma once
// Where feature modules plug their message handlers into the palettes
// without the shell knowing them.
//
// A module registers a handler installer for a palette kind, either from a
// static object in one of its source files
//
//     static const kl::shell::ControllerRegistration reg(
//         kl::shell::PaletteKind::Map,
//         [](kl::Bridge& b) { ImportController::instance().registerHandlers(b); });
//
// or by calling registerControllerHandlers() before the palette is created.
// The add-on links every module library whole, so such static objects are
// kept by the linker. Each new palette runs the installers of its kind, in
// registration order, after its own handlers and before its page loads; a
// later installer may replace an earlier handler of the same name.
#include <functional>
#include <utility>

#include "shell/bridge.h"

namespace kl::shell {

enum class PaletteKind { Map, Cloud };

using HandlerInstaller = std::function<void(Bridge&)>;

void registerControllerHandlers(PaletteKind kind, HandlerInstaller installer);

// Runs the installers of one kind on bridge. An installer that throws is
// logged and skipped; the others still run.
void installControllerHandlers(PaletteKind kind, Bridge& bridge);

struct ControllerRegistration {
    ControllerRegistration(PaletteKind kind, HandlerInstaller installer) {
        registerControllerHandlers(kind, std::move(installer));
    }
};

}  // namespace kl::shell
