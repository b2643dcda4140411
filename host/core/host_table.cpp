// The table of host functions handed to the add-on. Every entry is a
// noexcept trampoline: it checks that the workbench exists and that the call
// comes from the main thread, applies armed faults, and turns anything
// thrown inside the workbench into an error code.
#include <new>

#include "host/core/workbench.h"

namespace kl::host {
namespace {

template <class F>
KlErr guarded(const char* name, F&& f) noexcept {
    Workbench* wb = Workbench::current();
    if (!wb) return KL_ERR_REFUSED;
    try {
        if (!wb->onMainThread()) {
            wb->noteOffThreadCall(name);
            return KL_ERR_REFUSED;
        }
        if (auto fault = wb->faults().check(name)) return *fault;
        return f(*wb);
    } catch (const std::bad_alloc&) {
        return KL_ERR_MEMFULL;
    } catch (...) {
        return KL_ERR_GENERAL;
    }
}

KlErr RegisterMenu(int32_t list, int32_t prompts, int32_t position, int32_t flags) noexcept {
    return guarded("RegisterMenu", [&](Workbench& w) { return w.registerMenu(list, prompts, position, flags); });
}
KlErr InstallMenuHandler(int32_t menu, KlMenuHandler handler) noexcept {
    return guarded("InstallMenuHandler", [&](Workbench& w) { return w.menus().installHandler(menu, handler); });
}
KlErr GetMenuItemFlags(int32_t menu, int32_t item, int32_t* flags) noexcept {
    return guarded("GetMenuItemFlags", [&](Workbench& w) { return w.menus().flags(menu, item, flags); });
}
KlErr SetMenuItemFlags(int32_t menu, int32_t item, int32_t flags) noexcept {
    return guarded("SetMenuItemFlags", [&](Workbench& w) {
        KlErr err = w.menus().setFlags(menu, item, flags);
        w.feed().bump();
        return err;
    });
}
KlErr RegisterPalette(int32_t ref, KlPaletteControl control, int32_t flags, const KlGuid* guid) noexcept {
    return guarded("RegisterPalette", [&](Workbench& w) { return w.registerPalette(ref, control, flags, guid); });
}
KlErr CatchProjectEvent(int32_t mask, KlProjectEventHandler handler) noexcept {
    return guarded("CatchProjectEvent", [&](Workbench& w) { return w.catchProjectEvent(mask, handler); });
}
KlErr KeepInMemory(int32_t keep) noexcept {
    return guarded("KeepInMemory", [&](Workbench& w) { return w.keepInMemory(keep); });
}
KlErr WriteReport(const char* message, int32_t withDialog) noexcept {
    return guarded("WriteReport", [&](Workbench& w) { return w.writeReport(message, withDialog); });
}
KlErr LoadResource(uint32_t type, int32_t id, const unsigned char** data, size_t* size) noexcept {
    return guarded("LoadResource", [&](Workbench& w) { return w.loadResource(type, id, data, size); });
}
KlErr GetIndString(int32_t list, int32_t index, char* buffer, size_t size) noexcept {
    return guarded("GetIndString", [&](Workbench& w) { return w.indString(list, index, buffer, size); });
}
KlErr PaletteCreate(int32_t dialog, const KlGuid* guid, KlPaletteRef* palette) noexcept {
    return guarded("PaletteCreate", [&](Workbench& w) { return w.paletteCreate(dialog, guid, palette); });
}
KlErr PaletteDestroy(KlPaletteRef palette) noexcept {
    return guarded("PaletteDestroy", [&](Workbench& w) { return w.paletteDestroy(palette); });
}
KlErr PaletteShow(KlPaletteRef palette, int32_t) noexcept {
    return guarded("PaletteShow", [&](Workbench& w) { return w.paletteShow(palette, true); });
}
KlErr PaletteHide(KlPaletteRef palette) noexcept {
    return guarded("PaletteHide", [&](Workbench& w) { return w.paletteShow(palette, false); });
}
KlErr PaletteIsVisible(KlPaletteRef palette, int32_t* visible) noexcept {
    return guarded("PaletteIsVisible", [&](Workbench& w) { return w.paletteIsVisible(palette, visible); });
}
KlErr PaletteEnableItems(KlPaletteRef palette, int32_t enable) noexcept {
    return guarded("PaletteEnableItems", [&](Workbench& w) { return w.paletteEnable(palette, enable); });
}
KlErr PaletteSetObserver(KlPaletteRef palette, const KlPaletteObserver* observer) noexcept {
    return guarded("PaletteSetObserver", [&](Workbench& w) { return w.paletteSetObserver(palette, observer); });
}
KlErr PaletteResizeItem(KlPaletteRef palette, int32_t item, int32_t dx, int32_t dy) noexcept {
    return guarded("PaletteResizeItem", [&](Workbench& w) { return w.paletteResizeItem(palette, item, dx, dy); });
}
KlErr BrowserCreate(KlPaletteRef palette, int32_t item, KlBrowserRef* browser) noexcept {
    return guarded("BrowserCreate", [&](Workbench& w) { return w.browserCreate(palette, item, browser); });
}
KlErr BrowserDestroy(KlBrowserRef browser) noexcept {
    return guarded("BrowserDestroy", [&](Workbench& w) { return w.browserDestroy(browser); });
}
KlErr BrowserLoadUrl(KlBrowserRef browser, const char* url) noexcept {
    return guarded("BrowserLoadUrl", [&](Workbench& w) { return w.browserLoadUrl(browser, url); });
}
KlErr BrowserExecuteScript(KlBrowserRef browser, const char* script) noexcept {
    return guarded("BrowserExecuteScript", [&](Workbench& w) { return w.browserExecuteScript(browser, script); });
}
KlErr BrowserRegisterAsyncObject(KlBrowserRef browser, const char* object, const char* function,
                                 KlScriptFunction fn, void* ctx) noexcept {
    return guarded("BrowserRegisterAsyncObject",
                   [&](Workbench& w) { return w.browserRegisterObject(browser, object, function, fn, ctx); });
}
KlErr BrowserSetEvents(KlBrowserRef browser, const KlBrowserEvents* events) noexcept {
    return guarded("BrowserSetEvents", [&](Workbench& w) { return w.browserSetEvents(browser, events); });
}

// The one entry that any thread may call.
KlErr PostToMainThread(KlRunnable run, KlRunnable drop, void* ctx) noexcept {
    auto dropNow = [&] {
        if (drop) drop(ctx);
    };
    try {
        Workbench* wb = Workbench::current();
        if (!wb || !run) {
            dropNow();
            return wb ? KL_ERR_BADPARS : KL_ERR_REFUSED;
        }
        if (auto fault = wb->faults().check("PostToMainThread")) {
            dropNow();
            return *fault;
        }
        MainThreadExecutor::Task dropTask;
        if (drop) dropTask = [drop, ctx] { drop(ctx); };
        const bool queued = wb->executor().post([run, ctx] { run(ctx); }, std::move(dropTask));
        return queued ? KL_NOERROR : KL_ERR_REFUSED;
    } catch (...) {
        return KL_ERR_MEMFULL;
    }
}

KlErr UndoableCommand(const char* name, KlCommandBody body, void* ctx) noexcept {
    return guarded("UndoableCommand", [&](Workbench& w) { return w.undoableCommand(name, body, ctx); });
}
KlErr ListAttributes(int32_t type, KlAttributeVisitor visitor, void* ctx) noexcept {
    return guarded("ListAttributes", [&](Workbench& w) { return w.project().listAttributes(type, visitor, ctx); });
}
KlErr CreateAttribute(KlAttribute* attr) noexcept {
    return guarded("CreateAttribute", [&](Workbench& w) { return w.project().createAttribute(attr); });
}
KlErr GetElementDefaults(KlElement* element, KlMemo* memo) noexcept {
    return guarded("GetElementDefaults", [&](Workbench& w) { return w.project().elementDefaults(element, memo); });
}
KlErr MemoAllocate(KlMemo* memo, const KlMemoSizes* sizes) noexcept {
    return guarded("MemoAllocate", [&](Workbench& w) {
        return sizes ? w.project().memos().allocate(memo, *sizes) : KL_ERR_BADPARS;
    });
}
KlErr CreateElement(KlElement* element, const KlMemo* memo) noexcept {
    return guarded("CreateElement", [&](Workbench& w) { return w.project().createElement(element, memo); });
}
KlErr DisposeMemo(KlMemo* memo) noexcept {
    return guarded("DisposeMemo", [&](Workbench& w) { return w.project().memos().dispose(memo); });
}
KlErr SetElementInfoString(const KlGuid* guid, const char* text) noexcept {
    return guarded("SetElementInfoString", [&](Workbench& w) { return w.project().setInfoString(guid, text); });
}
KlErr GetElement(KlElement* element) noexcept {
    return guarded("GetElement", [&](Workbench& w) { return w.project().getElement(element); });
}
KlErr GetElementMemo(const KlGuid* guid, KlMemo* memo, int32_t mask) noexcept {
    return guarded("GetElementMemo", [&](Workbench& w) { return w.project().getElementMemo(guid, memo, mask); });
}
KlErr ListElements(int32_t type, int32_t filter, KlGuidVisitor visitor, void* ctx) noexcept {
    return guarded("ListElements",
                   [&](Workbench& w) { return w.project().listElements(type, filter, visitor, ctx); });
}
KlErr GetSelection(KlGuidVisitor visitor, void* ctx) noexcept {
    return guarded("GetSelection", [&](Workbench& w) { return w.project().visitSelection(visitor, ctx); });
}
KlErr DeleteElements(const KlGuid* guids, int32_t count) noexcept {
    return guarded("DeleteElements", [&](Workbench& w) { return w.project().deleteElements(guids, count); });
}
KlErr BodyCreate(KlBodyRef* body) noexcept {
    return guarded("BodyCreate", [&](Workbench& w) { return w.project().bodyCreate(body); });
}
KlErr BodyAddVertex(KlBodyRef body, const KlCoord3* point, int32_t* index) noexcept {
    return guarded("BodyAddVertex", [&](Workbench& w) {
        KlBody* b = w.project().liveBody(body);
        if (!b) return KL_ERR_BADID;
        return point && index ? b->body.addVertex(*point, *index) : KL_ERR_BADPARS;
    });
}
KlErr BodyAddEdge(KlBodyRef body, int32_t v1, int32_t v2, int32_t* index) noexcept {
    return guarded("BodyAddEdge", [&](Workbench& w) {
        KlBody* b = w.project().liveBody(body);
        if (!b) return KL_ERR_BADID;
        return index ? b->body.addEdge(v1, v2, *index) : KL_ERR_BADPARS;
    });
}
KlErr BodyAddPolygon(KlBodyRef body, const int32_t* edges, int32_t count, int32_t material,
                     int32_t* index) noexcept {
    return guarded("BodyAddPolygon", [&](Workbench& w) {
        KlBody* b = w.project().liveBody(body);
        if (!b) return KL_ERR_BADID;
        return index ? b->body.addPolygon(edges, count, material, *index) : KL_ERR_BADPARS;
    });
}
KlErr BodyFinish(KlBodyRef body, KlMemo* memo) noexcept {
    return guarded("BodyFinish", [&](Workbench& w) { return w.project().bodyFinish(body, memo); });
}
KlErr BodyDispose(KlBodyRef* body) noexcept {
    return guarded("BodyDispose", [&](Workbench& w) { return w.project().bodyDispose(body); });
}
KlErr GetGeoLocation(KlGeoLocation* location) noexcept {
    return guarded("GetGeoLocation", [&](Workbench& w) {
        if (!location) return KL_ERR_BADPARS;
        *location = w.project().geoLocation();
        return KL_NOERROR;
    });
}
KlErr SetGeoLocation(const KlGeoLocation* location) noexcept {
    return guarded("SetGeoLocation", [&](Workbench& w) { return w.setGeoLocation(location); });
}
KlErr ShellOpen(const char* verb, const char* address, int32_t showMode) noexcept {
    return guarded("ShellOpen", [&](Workbench& w) { return w.shellOpen(verb, address, showMode); });
}
KlErr GetHostOption(const char* name, char* buffer, size_t size) noexcept {
    return guarded("GetHostOption", [&](Workbench& w) { return w.hostOption(name, buffer, size); });
}
KlErr Alert(int32_t kind, const char* title, const char* text, const char* button1, const char* button2,
            const char* button3, int32_t* pressed) noexcept {
    return guarded("Alert", [&](Workbench& w) {
        const char* const buttons[3] = {button1, button2, button3};
        return w.alert(kind, title, text, buttons, pressed);
    });
}

const KlHostFunctions kTable = {
    KL_HOST_API_VERSION,
    static_cast<int32_t>(sizeof(KlHostFunctions)),
    RegisterMenu,
    InstallMenuHandler,
    GetMenuItemFlags,
    SetMenuItemFlags,
    RegisterPalette,
    CatchProjectEvent,
    KeepInMemory,
    WriteReport,
    LoadResource,
    GetIndString,
    PaletteCreate,
    PaletteDestroy,
    PaletteShow,
    PaletteHide,
    PaletteIsVisible,
    PaletteEnableItems,
    PaletteSetObserver,
    PaletteResizeItem,
    BrowserCreate,
    BrowserDestroy,
    BrowserLoadUrl,
    BrowserExecuteScript,
    BrowserRegisterAsyncObject,
    BrowserSetEvents,
    PostToMainThread,
    UndoableCommand,
    ListAttributes,
    CreateAttribute,
    GetElementDefaults,
    MemoAllocate,
    CreateElement,
    DisposeMemo,
    SetElementInfoString,
    GetElement,
    GetElementMemo,
    ListElements,
    GetSelection,
    DeleteElements,
    BodyCreate,
    BodyAddVertex,
    BodyAddEdge,
    BodyAddPolygon,
    BodyFinish,
    BodyDispose,
    GetGeoLocation,
    SetGeoLocation,
    ShellOpen,
    GetHostOption,
    Alert,
};

}  // namespace

const KlHostFunctions& Workbench::hostTable() { return kTable; }

}  // namespace kl::host
