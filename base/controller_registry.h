#pragma once
// Where feature modules plug their message handlers into the palettes
// without the shell knowing them.
//
// A module registers a handler installer for a palette kind, either from a
// static object in one of its source files
//
//     static const kl::shell::ControllerRegistration reg(
//         kl::shell::PaletteKind::Map,
//         [](kl::Bridge& b) { mapController().registerHandlers(b); });
//
// or by calling registerControllerHandlers() before the palette is created.
// The add-on links every module library whole, so such static objects are
// kept by the linker. Each new palette runs the installers of its kind, in
// registration order, after its own handlers and before its page loads; a
// later installer may replace an earlier handler of the same name.
#include <functional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/bridge.h"

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

// How a module reaches the page of a palette kind without knowing the
// palette classes: the shell names each kind's channel, modules go through
// the functions below, which look the channel up at call time and do nothing
// (or answer false) while no channel is named.
struct PageChannel {
    // Sends to the page if the palette exists; main thread only.
    std::function<void(const std::string& type, nlohmann::json message)> send;
    std::function<bool()> isOpen;
    // Runs task on the main thread; if it throws, onFailure runs and the page
    // hears of the error.
    std::function<bool(std::function<void()> task, std::function<void()> onFailure)> post;
};

void setPageChannel(PaletteKind kind, PageChannel channel);
void sendToPage(PaletteKind kind, const std::string& type, nlohmann::json message);
bool pageIsOpen(PaletteKind kind);
bool postForPage(PaletteKind kind, std::function<void()> task, std::function<void()> onFailure);

}  // namespace kl::shell
