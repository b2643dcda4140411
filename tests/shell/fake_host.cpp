#include "tests/shell/fake_host.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "base/host_access.h"

namespace kl::test {
namespace {

FakeHost* g_host = nullptr;
FakeHost& h() { return *g_host; }

KlErr registerMenu(int32_t list, int32_t, int32_t, int32_t) {
    h().calls.push_back("RegisterMenu " + std::to_string(list));
    return KL_NOERROR;
}
KlErr installMenuHandler(int32_t menu, KlMenuHandler handler) {
    h().calls.push_back("InstallMenuHandler " + std::to_string(menu));
    h().menuHandler = handler;
    return KL_NOERROR;
}
KlErr getMenuItemFlags(int32_t menu, int32_t item, int32_t* flags) {
    *flags = h().flags[{menu, item}];
    return KL_NOERROR;
}
KlErr setMenuItemFlags(int32_t menu, int32_t item, int32_t flags) {
    h().flags[{menu, item}] = flags;
    return KL_NOERROR;
}
KlErr registerPalette(int32_t ref, KlPaletteControl control, int32_t flags, const KlGuid* guid) {
    h().calls.push_back("RegisterPalette");
    h().registeredPalettes.push_back({ref, control, flags, *guid});
    if (h().failRegisterPaletteAt == static_cast<int32_t>(h().registeredPalettes.size())) return KL_ERR_GENERAL;
    return KL_NOERROR;
}
KlErr catchProjectEvent(int32_t, KlProjectEventHandler handler) {
    h().eventHandlers.push_back(handler);
    return KL_NOERROR;
}
KlErr keepAddonInMemory(int32_t) {
    ++h().keepInMemory;
    return KL_NOERROR;
}
KlErr writeReport(const char* message, int32_t) {
    h().reports.emplace_back(message);
    return KL_NOERROR;
}
KlErr loadResource(uint32_t type, int32_t id, const unsigned char** data, size_t* size) {
    if (type != KL_RES_DATA) return KL_ERR_BADID;
    auto it = h().dataResources.find(id);
    if (it == h().dataResources.end()) return KL_ERR_BADID;
    *data = reinterpret_cast<const unsigned char*>(it->second.data());
    *size = it->second.size();
    return KL_NOERROR;
}
KlErr getIndString(int32_t list, int32_t index, char* buffer, size_t size) {
    auto it = h().stringLists.find(list);
    if (it == h().stringLists.end() || index < 1 || static_cast<size_t>(index) > it->second.size())
        return KL_ERR_BADID;
    std::snprintf(buffer, size, "%s", it->second[static_cast<size_t>(index) - 1].c_str());
    return KL_NOERROR;
}

FakePalette* pal(KlPaletteRef p) { return reinterpret_cast<FakePalette*>(p); }
FakeBrowser* brw(KlBrowserRef b) { return reinterpret_cast<FakeBrowser*>(b); }

KlErr paletteCreate(int32_t dialog, const KlGuid* guid, KlPaletteRef* out) {
    auto p = std::make_unique<FakePalette>();
    p->dialogResId = dialog;
    p->guid = *guid;
    *out = reinterpret_cast<KlPaletteRef>(p.get());
    h().palettes.push_back(std::move(p));
    ++h().palettesCreated;
    return KL_NOERROR;
}
KlErr paletteDestroy(KlPaletteRef p) {
    pal(p)->destroyed = true;
    return KL_NOERROR;
}
KlErr paletteShow(KlPaletteRef p, int32_t) {
    pal(p)->visible = true;
    return KL_NOERROR;
}
KlErr paletteHide(KlPaletteRef p) {
    pal(p)->visible = false;
    return KL_NOERROR;
}
KlErr paletteIsVisible(KlPaletteRef p, int32_t* v) {
    *v = pal(p)->visible ? 1 : 0;
    return KL_NOERROR;
}
KlErr paletteEnableItems(KlPaletteRef p, int32_t enable) {
    pal(p)->itemsEnabled = enable != 0;
    return KL_NOERROR;
}
KlErr paletteSetObserver(KlPaletteRef p, const KlPaletteObserver* o) {
    pal(p)->hasObserver = o != nullptr;
    pal(p)->observer = o ? *o : KlPaletteObserver{};
    return KL_NOERROR;
}
KlErr paletteResizeItem(KlPaletteRef p, int32_t, int32_t dx, int32_t dy) {
    pal(p)->resizes.emplace_back(dx, dy);
    return KL_NOERROR;
}
KlErr browserCreate(KlPaletteRef p, int32_t, KlBrowserRef* out) {
    auto b = std::make_unique<FakeBrowser>();
    b->palette = pal(p);
    *out = reinterpret_cast<KlBrowserRef>(b.get());
    h().browsers.push_back(std::move(b));
    return KL_NOERROR;
}
KlErr browserDestroy(KlBrowserRef b) {
    brw(b)->destroyed = true;
    return KL_NOERROR;
}
KlErr browserLoadUrl(KlBrowserRef b, const char* url) {
    brw(b)->url = url;
    return KL_NOERROR;
}
KlErr browserExecuteScript(KlBrowserRef b, const char* script) {
    brw(b)->scripts.emplace_back(script);
    return KL_NOERROR;
}
KlErr browserRegisterAsyncObject(KlBrowserRef b, const char* object, const char* function, KlScriptFunction fn,
                                 void* ctx) {
    brw(b)->objectName = object;
    brw(b)->functionName = function;
    brw(b)->function = fn;
    brw(b)->functionCtx = ctx;
    return KL_NOERROR;
}
KlErr browserSetEvents(KlBrowserRef b, const KlBrowserEvents* events) {
    brw(b)->events = *events;
    return KL_NOERROR;
}
KlErr postToMainThread(KlRunnable run, KlRunnable drop, void* ctx) {
    if (h().executorShutDown) {
        drop(ctx);
        return KL_ERR_REFUSED;
    }
    h().posted.push_back({run, drop, ctx});
    return KL_NOERROR;
}
KlErr shellOpen(const char* verb, const char* address, int32_t mode) {
    h().shellOpens.push_back(std::string(verb) + " " + address + " " + std::to_string(mode));
    return KL_NOERROR;
}

}  // namespace

std::vector<nlohmann::json> FakeBrowser::received() const {
    static const std::string head = "GISBridge.receive(";
    static const std::string tail = ");";
    std::vector<nlohmann::json> out;
    for (const auto& s : scripts) {
        if (s.compare(0, head.size(), head) != 0 || s.size() < head.size() + tail.size() ||
            s.compare(s.size() - tail.size(), tail.size(), tail) != 0)
            throw std::runtime_error("unexpected script: " + s);
        out.push_back(nlohmann::json::parse(s.substr(head.size(), s.size() - head.size() - tail.size())));
    }
    return out;
}

nlohmann::json FakeBrowser::lastReceived() const {
    auto all = received();
    return all.empty() ? nlohmann::json() : all.back();
}

FakeHost::FakeHost() {
    table_.apiVersion = KL_HOST_API_VERSION;
    table_.structSize = sizeof(KlHostFunctions);
    table_.RegisterMenu = &registerMenu;
    table_.InstallMenuHandler = &installMenuHandler;
    table_.GetMenuItemFlags = &getMenuItemFlags;
    table_.SetMenuItemFlags = &setMenuItemFlags;
    table_.RegisterPalette = &registerPalette;
    table_.CatchProjectEvent = &catchProjectEvent;
    table_.KeepInMemory = &keepAddonInMemory;
    table_.WriteReport = &writeReport;
    table_.LoadResource = &loadResource;
    table_.GetIndString = &getIndString;
    table_.PaletteCreate = &paletteCreate;
    table_.PaletteDestroy = &paletteDestroy;
    table_.PaletteShow = &paletteShow;
    table_.PaletteHide = &paletteHide;
    table_.PaletteIsVisible = &paletteIsVisible;
    table_.PaletteEnableItems = &paletteEnableItems;
    table_.PaletteSetObserver = &paletteSetObserver;
    table_.PaletteResizeItem = &paletteResizeItem;
    table_.BrowserCreate = &browserCreate;
    table_.BrowserDestroy = &browserDestroy;
    table_.BrowserLoadUrl = &browserLoadUrl;
    table_.BrowserExecuteScript = &browserExecuteScript;
    table_.BrowserRegisterAsyncObject = &browserRegisterAsyncObject;
    table_.BrowserSetEvents = &browserSetEvents;
    table_.PostToMainThread = &postToMainThread;
    table_.ShellOpen = &shellOpen;
    previousHost_ = kl::host();
    g_host = this;
    kl::setHost(&table_);
}

FakeHost::~FakeHost() {
    shutDownExecutor();
    kl::setHost(previousHost_);
    g_host = nullptr;
}

FakeHost& FakeHost::current() { return *g_host; }

size_t FakeHost::runPosted() {
    size_t n = 0;
    while (!posted.empty()) {
        Posted p = posted.front();
        posted.pop_front();
        p.run(p.ctx);
        ++n;
    }
    return n;
}

void FakeHost::shutDownExecutor() {
    executorShutDown = true;
    while (!posted.empty()) {
        Posted p = posted.front();
        posted.pop_front();
        p.drop(p.ctx);
    }
}

void FakeHost::projectEvent(int32_t value) {
    const auto handlers = eventHandlers;
    for (auto handler : handlers) handler(value);
}

int32_t FakeHost::menuFlags(int32_t item) const {
    auto it = flags.find({32500, item});
    return it == flags.end() ? 0 : it->second;
}

FakePalette* FakeHost::liveDialog(int32_t dialogResId) const {
    for (const auto& p : palettes)
        if (p->dialogResId == dialogResId && !p->destroyed) return p.get();
    return nullptr;
}

FakeBrowser* FakeHost::liveBrowser(int32_t dialogResId) const {
    for (const auto& b : browsers)
        if (b->palette->dialogResId == dialogResId && !b->destroyed) return b.get();
    return nullptr;
}

int32_t FakeHost::control(int32_t dialogResId, int32_t message, intptr_t param) const {
    const int32_t index = dialogResId == 32500 ? 0 : 1;
    const auto& reg = registeredPalettes.at(static_cast<size_t>(index));
    return reg.control(reg.referenceNumber, message, param);
}

void fillPageResources(FakeHost& host) {
    for (int32_t id : {100, 101, 102, 103, 104, 105, 110, 111, 112, 113, 114, 120, 200, 201, 202})
        host.dataResources[id] = "/* resource " + std::to_string(id) + " */\n" + std::string(static_cast<size_t>(id), 'x');
}

}  // namespace kl::test
