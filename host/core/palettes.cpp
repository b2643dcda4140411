#include "host/core/palettes.h"

#include "host/core/guid.h"

namespace kl::host {

KlErr PaletteRegistry::registerPalette(const PaletteRegistration& r) {
    if (!r.control) return KL_ERR_BADPARS;
    for (auto& existing : registrations_) {
        if (existing.referenceNumber == r.referenceNumber) {
            existing = r;
            return KL_NOERROR;
        }
    }
    registrations_.push_back(r);
    return KL_NOERROR;
}

const PaletteRegistration* PaletteRegistry::registration(int32_t referenceNumber) const {
    for (const auto& r : registrations_)
        if (r.referenceNumber == referenceNumber) return &r;
    return nullptr;
}

const PaletteRegistration* PaletteRegistry::registrationFor(const KlGuid& guid) const {
    for (const auto& r : registrations_)
        if (sameGuid(r.guid, guid)) return &r;
    return nullptr;
}

KlPalette* PaletteRegistry::create(int32_t dialogResId, const KlGuid& guid, DialogDescription dialog) {
    auto p = std::make_unique<KlPalette>();
    p->id = nextPalette_++;
    p->dialogResId = dialogResId;
    p->guid = guid;
    p->dialog = std::move(dialog);
    KlPalette* raw = p.get();
    palettes_.emplace(raw->id, std::move(p));
    return raw;
}

std::vector<int32_t> PaletteRegistry::destroy(KlPalette* palette) {
    std::vector<int32_t> gone;
    for (KlBrowser* b : browsersOf(palette)) {
        gone.push_back(b->id);
        browsers_.erase(b->id);
    }
    palettes_.erase(palette->id);
    return gone;
}

KlPalette* PaletteRegistry::palette(KlPaletteRef ref) const {
    if (!ref) return nullptr;
    for (const auto& [id, p] : palettes_)
        if (p.get() == ref) return p.get();
    return nullptr;
}

KlPalette* PaletteRegistry::paletteById(int32_t id) const {
    auto it = palettes_.find(id);
    return it == palettes_.end() ? nullptr : it->second.get();
}

KlBrowser* PaletteRegistry::createBrowser(KlPalette* palette, int32_t item) {
    auto b = std::make_unique<KlBrowser>();
    b->id = nextBrowser_++;
    b->palette = palette;
    b->item = item;
    KlBrowser* raw = b.get();
    browsers_.emplace(raw->id, std::move(b));
    return raw;
}

void PaletteRegistry::destroyBrowser(KlBrowser* browser) { browsers_.erase(browser->id); }

KlBrowser* PaletteRegistry::browser(KlBrowserRef ref) const {
    if (!ref) return nullptr;
    for (const auto& [id, b] : browsers_)
        if (b.get() == ref) return b.get();
    return nullptr;
}

KlBrowser* PaletteRegistry::browserById(int32_t id) const {
    auto it = browsers_.find(id);
    return it == browsers_.end() ? nullptr : it->second.get();
}

std::vector<KlPalette*> PaletteRegistry::palettes() const {
    std::vector<KlPalette*> out;
    for (const auto& [id, p] : palettes_) out.push_back(p.get());
    return out;
}

std::vector<KlBrowser*> PaletteRegistry::browsersOf(const KlPalette* palette) const {
    std::vector<KlBrowser*> out;
    for (const auto& [id, b] : browsers_)
        if (b->palette == palette) out.push_back(b.get());
    return out;
}

}  // namespace kl::host
