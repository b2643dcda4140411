#pragma once
// A modeless host palette whose only content is a browser showing a page
// unpacked from the module's resources, wired to the add-on by a Bridge.
// MapPalette and CloudPalette are this class with different PaletteTraits.
#include <cstdint>
#include <span>
#include <string>

#include "host/sdk/kl_host_api.h"
#include "base/bridge.h"
#include "base/controller_registry.h"
#include "shell/web_resources.h"

namespace kl::shell {

struct PaletteTraits {
    const char* className;  // "MapPalette"
    PaletteKind kind;
    int32_t dialogResId;
    KlGuid guid;
    int32_t menuItem;  // item of menu 32500 that carries the check mark
    const char* folderName;
    const char* startPage;
    const char* reportPrefix;
    std::span<const WebResource> resources;
    void (*registerOwnHandlers)(Bridge&);
};

inline constexpr int32_t kMenuResId = 32500;
inline constexpr int32_t kPaletteFlags = 1015;
inline constexpr int32_t kShowPlacement = -32768;
inline constexpr int32_t kBrowserItem = 1;

// The host's hash of a GUID: the sum of its four 32-bit words.
int32_t guidReferenceNumber(const KlGuid& guid);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; the 32 hex digits in
// reading order fill the four words.
KlGuid parseGuid(const char* text);

class BrowserPalette {
public:
    explicit BrowserPalette(const PaletteTraits& traits);
    virtual ~BrowserPalette();
    BrowserPalette(const BrowserPalette&) = delete;
    BrowserPalette& operator=(const BrowserPalette&) = delete;

    // Show and hide also set and clear the menu item's check mark.
    void show();
    void hide();
    bool isVisible() const;
    void enableItems(bool enable);

    Bridge& bridge() { return bridge_; }

private:
    void initBrowserControl();
    void registerBridgeJSObject();
    void setCheckMark(bool checked);

    static int32_t onCloseRequested(void* ctx) noexcept;
    static void onResized(void* ctx, int32_t dx, int32_t dy) noexcept;
    static void onPostMessage(void* ctx, const char* arg, size_t argBytes, int32_t argIsString) noexcept;
    static void onLoadError(void* ctx, int32_t code, const char* url) noexcept;
    static void onLoadingState(void* ctx, int32_t isLoading) noexcept;

    const PaletteTraits& traits_;
    KlPaletteRef palette_ = nullptr;
    KlPaletteObserver observer_{};
    KlBrowserRef browser_ = nullptr;
    KlBrowserEvents events_{};
    Bridge bridge_;
};

}  // namespace kl::shell
