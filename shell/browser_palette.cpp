#include "shell/browser_palette.h"


#include "shell/addon.h"

#include "base/diag_log.h"
#include "shell/web_diag.h"
#include "base/entry_barrier.h"
#include "base/host_access.h"

namespace kl::shell {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t guidReferenceNumber(const KlGuid& guid) {
    uint32_t sum = 0;
    for (const uint32_t w : guid.w) sum += w;
    return static_cast<int32_t>(sum);
}

KlGuid parseGuid(const char* text) {
    KlGuid guid{};
    int digits = 0;
    for (const char* p = text; *p && digits < 32; ++p) {
        const int v = hexValue(*p);
        if (v < 0) continue;
        auto& word = guid.w[digits / 8];
        word = (word << 4) | static_cast<uint32_t>(v);
        ++digits;
    }
    return guid;
}

BrowserPalette::BrowserPalette(const PaletteTraits& traits) : traits_(traits) {
    const KlHostFunctions* h = host();
    if (h->PaletteCreate(traits_.dialogResId, &traits_.guid, &palette_) != KL_NOERROR) {
        palette_ = nullptr;
        diag(std::string(traits_.className) + ": PaletteCreate failed");
        return;
    }
    observer_ = KlPaletteObserver{this, &BrowserPalette::onCloseRequested, &BrowserPalette::onResized};
    if (h->BrowserCreate(palette_, kBrowserItem, &browser_) != KL_NOERROR) browser_ = nullptr;
    h->CatchProjectEvent(KL_EVENT_QUIT, &onProjectEvent);
    h->KeepInMemory(1);
    h->PaletteSetObserver(palette_, &observer_);
    initBrowserControl();
}

BrowserPalette::~BrowserPalette() {
    const KlHostFunctions* h = host();
    if (palette_) h->PaletteSetObserver(palette_, nullptr);
    bridge_.clear();
    if (browser_) h->BrowserDestroy(browser_);
    if (palette_) h->PaletteDestroy(palette_);
}

void BrowserPalette::initBrowserControl() {
    const KlHostFunctions* h = host();
    traits_.registerOwnHandlers(bridge_);
    installControllerHandlers(traits_.kind, bridge_);
    registerBridgeJSObject();
    if (browser_) {
        events_ = KlBrowserEvents{this, &BrowserPalette::onLoadError, &BrowserPalette::onLoadingState};
        h->BrowserSetEvents(browser_, &events_);
    }
    const WebExtraction extracted = extractWebResources(
        WebFilesSpec{traits_.className, traits_.folderName, traits_.reportPrefix, traits_.resources});
    if (!extracted.ok) {
        const std::string text = std::string(traits_.reportPrefix) + "nie udalo sie wypakowac zasobow web.";
        h->WriteReport(text.c_str(), 0);
        return;
    }
    const std::string address = pageAddress(extracted.webDir, traits_.startPage);
    diag("LoadURL=" + address);
    if (browser_) h->BrowserLoadUrl(browser_, address.c_str());
}

void BrowserPalette::registerBridgeJSObject() {
    if (!browser_) return;
    KlBrowserRef browser = browser_;
    bridge_.setSender([browser](const std::string& text) {
        const std::string script = "GISBridge.receive(" + text + ");";
        host()->BrowserExecuteScript(browser, script.c_str());
    });
    host()->BrowserRegisterAsyncObject(browser_, "GIS", "postMessage", &BrowserPalette::onPostMessage, this);
}

void BrowserPalette::show() {
    if (!palette_) return;
    host()->PaletteShow(palette_, kShowPlacement);
    setCheckMark(true);
}

void BrowserPalette::hide() {
    if (!palette_) return;
    host()->PaletteHide(palette_);
    setCheckMark(false);
}

bool BrowserPalette::isVisible() const {
    int32_t visible = 0;
    if (!palette_ || host()->PaletteIsVisible(palette_, &visible) != KL_NOERROR) return false;
    return visible != 0;
}

void BrowserPalette::enableItems(bool enable) {
    if (palette_) host()->PaletteEnableItems(palette_, enable ? 1 : 0);
}

void BrowserPalette::setCheckMark(bool checked) {
    const KlHostFunctions* h = host();
    int32_t flags = 0;
    if (h->GetMenuItemFlags(kMenuResId, traits_.menuItem, &flags) != KL_NOERROR) return;
    flags = checked ? (flags | KL_MENUFLAG_CHECKED) : (flags & ~KL_MENUFLAG_CHECKED);
    h->SetMenuItemFlags(kMenuResId, traits_.menuItem, flags);
}

// The callbacks below are entered from the host: nothing may escape them.

int32_t BrowserPalette::onCloseRequested(void* ctx) noexcept {
    platform::guarded("close", [ctx] { static_cast<BrowserPalette*>(ctx)->hide(); });
    return 1;
}

void BrowserPalette::onResized(void* ctx, int32_t dx, int32_t dy) noexcept {
    platform::guarded("resize", [ctx, dx, dy] {
        auto* self = static_cast<BrowserPalette*>(ctx);
        if (self->palette_) host()->PaletteResizeItem(self->palette_, kBrowserItem, dx, dy);
    });
}

void BrowserPalette::onPostMessage(void* ctx, const char* arg, size_t argBytes, int32_t argIsString) noexcept {
    platform::guarded("postMessage", [ctx, arg, argBytes, argIsString] {
        const std::string text = (argIsString && arg) ? std::string(arg, argBytes) : std::string();
        static_cast<BrowserPalette*>(ctx)->bridge_.onMessage(text);
    });
}

void BrowserPalette::onLoadError(void*, int32_t code, const char* url) noexcept {
    platform::guarded("onLoadError", [code, url] { diag("onLoadError code=" + std::to_string(code) + " url=" + (url ? url : "")); });
}

void BrowserPalette::onLoadingState(void*, int32_t isLoading) noexcept {
    platform::guarded("onLoadingState",
                      [isLoading] { diag(std::string("onLoadingState isLoading=") + (isLoading ? "1" : "0")); });
}

}  // namespace kl::shell
