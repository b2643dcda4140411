#include "host/core/workbench.h"

#include "host/core/file_url.h"

#include <algorithm>

namespace kl::host {
namespace {

constexpr int32_t kErrInvalidUrl = -300;
// Larger than any screen; a palette never needs more.
constexpr int32_t kMaxPaletteSide = 32767;

bool scriptIdentifier(const char* s) {
    if (!s || !*s) return false;
    for (const char* p = s; *p; ++p) {
        const char c = *p;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
        if (!letter && !(p != s && c >= '0' && c <= '9')) return false;
    }
    return true;
}

}  // namespace

KlErr Workbench::registerPalette(int32_t ref, KlPaletteControl control, int32_t flags, const KlGuid* guid) {
    if (!guid) return KL_ERR_BADPARS;
    KlErr err = palettes_.registerPalette({ref, control, flags, *guid});
    feed_.bump();
    return err;
}

KlErr Workbench::paletteCreate(int32_t dialogResId, const KlGuid* guid, KlPaletteRef* out) {
    if (!guid || !out) return KL_ERR_BADPARS;
    auto dialog = resources_.dialog(dialogResId);
    if (!dialog) return KL_ERR_BADID;
    *out = palettes_.create(dialogResId, *guid, std::move(*dialog));
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::paletteDestroy(KlPaletteRef ref) {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    for (int32_t id : palettes_.destroy(p)) hub_.close(id);
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::paletteShow(KlPaletteRef ref, bool show) {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    p->visible = show;
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::paletteIsVisible(KlPaletteRef ref, int32_t* visible) const {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    if (!visible) return KL_ERR_BADPARS;
    *visible = p->visible ? 1 : 0;
    return KL_NOERROR;
}

KlErr Workbench::paletteEnable(KlPaletteRef ref, int32_t enable) {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    p->enabled = enable != 0;
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::paletteSetObserver(KlPaletteRef ref, const KlPaletteObserver* observer) {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    p->hasObserver = observer != nullptr;
    p->observer = observer ? *observer : KlPaletteObserver{};
    return KL_NOERROR;
}

KlErr Workbench::paletteResizeItem(KlPaletteRef ref, int32_t item, int32_t dx, int32_t dy) {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    if (item < 1 || static_cast<size_t>(item) > p->dialog.items.size()) return KL_ERR_BADINDEX;
    DialogItem& it = p->dialog.items[static_cast<size_t>(item) - 1];
    it.width = std::max(0, it.width + dx);
    it.height = std::max(0, it.height + dy);
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::browserCreate(KlPaletteRef ref, int32_t item, KlBrowserRef* out) {
    KlPalette* p = palettes_.palette(ref);
    if (!p) return KL_ERR_BADID;
    if (!out) return KL_ERR_BADPARS;
    if (item < 1 || static_cast<size_t>(item) > p->dialog.items.size()) return KL_ERR_BADINDEX;
    const std::string& type = p->dialog.items[static_cast<size_t>(item) - 1].type;
    if (!type.empty() && type != "browser") return KL_ERR_BADPARS;
    KlBrowser* b = palettes_.createBrowser(p, item);
    hub_.open(b->id);
    *out = b;
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::browserDestroy(KlBrowserRef ref) {
    KlBrowser* b = palettes_.browser(ref);
    if (!b) return KL_ERR_BADID;
    hub_.close(b->id);
    palettes_.destroyBrowser(b);
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::browserLoadUrl(KlBrowserRef ref, const char* url) {
    KlBrowser* b = palettes_.browser(ref);
    if (!b) return KL_ERR_BADID;
    if (!url) return KL_ERR_BADPARS;
    b->url = url;
    b->loadErrors.clear();
    const int32_t id = b->id;
    auto file = parseFileUrl(url);
    if (!file || file->path.back() == '/') {
        // the browser reports a bad address later, from its own loop
        executor_.post([this, id, u = std::string(url)] { pageLoadError(id, kErrInvalidUrl, u); });
        paletteChanged();
        return KL_NOERROR;
    }
    std::filesystem::path path(file->path);
    b->folder = path.parent_path();
    b->startFile = path.filename().string();
    b->urlSuffix = file->suffix;
    hub_.setPage(id, b->folder, b->startFile);
    executor_.post([this, id] { pageLoading(id, true); });
    paletteChanged();
    return KL_NOERROR;
}

KlErr Workbench::browserExecuteScript(KlBrowserRef ref, const char* script) {
    KlBrowser* b = palettes_.browser(ref);
    if (!b) return KL_ERR_BADID;
    if (!script) return KL_ERR_BADPARS;
    hub_.pushScript(b->id, script);
    return KL_NOERROR;
}

KlErr Workbench::browserRegisterObject(KlBrowserRef ref, const char* object, const char* function,
                                       KlScriptFunction fn, void* ctx) {
    KlBrowser* b = palettes_.browser(ref);
    if (!b) return KL_ERR_BADID;
    if (!scriptIdentifier(object) || !scriptIdentifier(function) || !fn) return KL_ERR_BADPARS;
    b->functions[{object, function}] = {fn, ctx};
    hub_.addObject(b->id, object, function);
    return KL_NOERROR;
}

KlErr Workbench::browserSetEvents(KlBrowserRef ref, const KlBrowserEvents* events) {
    KlBrowser* b = palettes_.browser(ref);
    if (!b) return KL_ERR_BADID;
    b->hasEvents = events != nullptr;
    b->events = events ? *events : KlBrowserEvents{};
    return KL_NOERROR;
}

void Workbench::pageCall(int32_t browserId, const std::string& object, const std::string& function,
                         const std::optional<std::string>& arg) {
    KlBrowser* b = palettes_.browserById(browserId);
    if (!b) return;
    auto it = b->functions.find({object, function});
    if (it == b->functions.end()) return;
    const KlBrowser::Function f = it->second;
    try {
        if (arg)
            f.function(f.ctx, arg->c_str(), arg->size(), 1);
        else
            f.function(f.ctx, nullptr, 0, 0);
    } catch (...) {
        writeReport("workbench: a script function of the add-on threw", 0);
    }
    feed_.bump();
}

void Workbench::pageLoading(int32_t browserId, bool loading) {
    KlBrowser* b = palettes_.browserById(browserId);
    if (!b || b->loading == loading) return;
    b->loading = loading;
    if (b->hasEvents && b->events.loadingState) {
        try {
            b->events.loadingState(b->events.ctx, loading ? 1 : 0);
        } catch (...) {
        }
    }
    paletteChanged();
}

void Workbench::pageLoadError(int32_t browserId, int32_t code, const std::string& url) {
    KlBrowser* b = palettes_.browserById(browserId);
    if (!b) return;
    b->loadErrors.emplace_back(code, url);
    b->loading = false;
    if (b->hasEvents && b->events.loadError) {
        try {
            b->events.loadError(b->events.ctx, code, url.c_str());
        } catch (...) {
        }
    }
    paletteChanged();
}

KlErr Workbench::paletteMessage(int32_t referenceNumber, int32_t message, int32_t* visible) {
    const PaletteRegistration* r = palettes_.registration(referenceNumber);
    if (!r) return KL_ERR_BADID;
    const PaletteRegistration reg = *r;
    int32_t flag = 0;
    KlErr err = KL_ERR_GENERAL;
    try {
        err = reg.control(reg.referenceNumber, message,
                          message == KL_PALETTE_IS_VISIBLE ? reinterpret_cast<intptr_t>(&flag) : 0);
    } catch (...) {
        writeReport("workbench: a palette control callback threw", 0);
    }
    if (visible) *visible = flag;
    paletteChanged();
    return err;
}

KlErr Workbench::closeBox(int32_t paletteId) {
    KlPalette* p = palettes_.paletteById(paletteId);
    if (!p) return KL_ERR_BADID;
    if (const PaletteRegistration* r = palettes_.registrationFor(p->guid))
        return paletteMessage(r->referenceNumber, KL_PALETTE_CLOSE, nullptr);
    if (closeRequest(paletteId).value_or(1) == 0) return KL_NOERROR;
    if ((p = palettes_.paletteById(paletteId))) p->visible = false;
    paletteChanged();
    return KL_NOERROR;
}

std::optional<int32_t> Workbench::closeRequest(int32_t paletteId) {
    KlPalette* p = palettes_.paletteById(paletteId);
    if (!p || !p->hasObserver || !p->observer.closeRequested) return std::nullopt;
    const KlPaletteObserver o = p->observer;
    int32_t accepted = 0;
    try {
        accepted = o.closeRequested(o.ctx);
    } catch (...) {
        writeReport("workbench: a palette observer threw", 0);
    }
    // the palette may be gone by now
    if (accepted && (p = palettes_.paletteById(paletteId))) p->visible = false;
    paletteChanged();
    return accepted;
}

KlErr Workbench::resizePalette(int32_t paletteId, int32_t dx, int32_t dy) {
    KlPalette* p = palettes_.paletteById(paletteId);
    if (!p) return KL_ERR_BADID;
    // Widened and clamped: a request may ask for any int32 change, and the
    // observer hears the change that actually happened.
    const auto resized = [](int32_t side, int32_t delta) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{side} + delta, 1, kMaxPaletteSide));
    };
    const int32_t width = resized(p->dialog.width, dx), height = resized(p->dialog.height, dy);
    const int32_t doneDx = width - p->dialog.width, doneDy = height - p->dialog.height;
    p->dialog.width = width;
    p->dialog.height = height;
    if (p->hasObserver && p->observer.resized) {
        const KlPaletteObserver o = p->observer;
        try {
            o.resized(o.ctx, doneDx, doneDy);
        } catch (...) {
        }
    }
    paletteChanged();
    return KL_NOERROR;
}

}  // namespace kl::host
