#pragma once
// A recording stand-in for the host's function table, enough to drive the
// shell: menus, palettes, browsers, reports, resources, the main-thread queue.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/sdk/kl_host_api.h"

namespace kl::test {

struct FakePalette {
    int32_t dialogResId = 0;
    KlGuid guid{};
    bool visible = false;
    bool itemsEnabled = true;
    bool hasObserver = false;
    KlPaletteObserver observer{};
    bool destroyed = false;
    std::vector<std::pair<int32_t, int32_t>> resizes;
};

struct FakeBrowser {
    FakePalette* palette = nullptr;
    std::string url;
    std::vector<std::string> scripts;
    std::string objectName, functionName;
    KlScriptFunction function = nullptr;
    void* functionCtx = nullptr;
    KlBrowserEvents events{};
    bool destroyed = false;

    // The page calls GIS.postMessage(text).
    void post(const std::string& text) const { function(functionCtx, text.data(), text.size(), 1); }
    // Every message the add-on delivered through "GISBridge.receive(...);".
    std::vector<nlohmann::json> received() const;
    nlohmann::json lastReceived() const;
};

struct RegisteredPalette {
    int32_t referenceNumber;
    KlPaletteControl control;
    int32_t flags;
    KlGuid guid;
};

struct Posted {
    KlRunnable run;
    KlRunnable drop;
    void* ctx;
};

class FakeHost {
public:
    // Becomes the host of the add-on (kl::setHost) for its lifetime.
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    static FakeHost& current();

    const KlHostFunctions& table() const { return table_; }

    // Runs queued main-thread functions, including those they post.
    size_t runPosted();
    // Refuses further posts; drops what is queued.
    void shutDownExecutor();

    // Sends the application-quit (or any) project event to every subscriber.
    void projectEvent(int32_t value);

    int32_t menuFlags(int32_t item) const;
    bool checked(int32_t item) const { return (menuFlags(item) & KL_MENUFLAG_CHECKED) != 0; }
    FakePalette* liveDialog(int32_t dialogResId) const;
    FakeBrowser* liveBrowser(int32_t dialogResId) const;
    int32_t control(int32_t dialogResId, int32_t message, intptr_t param = 0) const;

    // Recorded calls.
    std::vector<std::string> reports;
    std::vector<std::string> shellOpens;  // "verb address mode"
    std::vector<std::string> calls;       // order of registration calls
    std::vector<RegisteredPalette> registeredPalettes;
    std::vector<KlProjectEventHandler> eventHandlers;
    KlMenuHandler menuHandler = nullptr;
    int keepInMemory = 0;
    int palettesCreated = 0;
    std::vector<std::unique_ptr<FakePalette>> palettes;
    std::vector<std::unique_ptr<FakeBrowser>> browsers;

    // What the host serves.
    std::map<int32_t, std::vector<std::string>> stringLists;
    std::map<int32_t, std::string> dataResources;
    std::map<std::pair<int32_t, int32_t>, int32_t> flags;
    int32_t failRegisterPaletteAt = 0;  // 1-based call that fails, 0 none
    bool executorShutDown = false;
    std::deque<Posted> posted;

private:
    KlHostFunctions table_{};
    const KlHostFunctions* previousHost_ = nullptr;
};

// A small resource for every page file both palettes unpack.
void fillPageResources(FakeHost& host);

}  // namespace kl::test
