#include "host/core/menus.h"

namespace kl::host {

std::string menuDisplayText(std::string_view raw) {
    const size_t caret = raw.find('^');
    return std::string(raw.substr(0, caret));
}

KlErr MenuRegistry::add(int32_t resId, const std::vector<std::string>& strings) {
    if (strings.size() < 3) return KL_ERR_BADPARS;
    if (find(resId)) return KL_ERR_BADID;
    Menu m;
    m.resId = resId;
    m.title = menuDisplayText(strings[0]);
    m.submenu = menuDisplayText(strings[1]);
    for (size_t i = 2; i < strings.size(); ++i) m.items.push_back({strings[i], menuDisplayText(strings[i]), 0});
    menus_.push_back(std::move(m));
    return KL_NOERROR;
}

Menu* MenuRegistry::findMutable(int32_t resId) {
    for (auto& m : menus_)
        if (m.resId == resId) return &m;
    return nullptr;
}

const Menu* MenuRegistry::find(int32_t resId) const {
    return const_cast<MenuRegistry*>(this)->findMutable(resId);
}

KlErr MenuRegistry::installHandler(int32_t resId, KlMenuHandler handler) {
    Menu* m = findMutable(resId);
    if (!m) return KL_ERR_BADID;
    if (!handler) return KL_ERR_BADPARS;
    m->handler = handler;
    return KL_NOERROR;
}

KlErr MenuRegistry::flags(int32_t resId, int32_t item, int32_t* out) const {
    const Menu* m = find(resId);
    if (!m) return KL_ERR_BADID;
    if (!out) return KL_ERR_BADPARS;
    if (item < 1 || static_cast<size_t>(item) > m->items.size()) return KL_ERR_BADINDEX;
    *out = m->items[static_cast<size_t>(item) - 1].flags;
    return KL_NOERROR;
}

KlErr MenuRegistry::setFlags(int32_t resId, int32_t item, int32_t value) {
    Menu* m = findMutable(resId);
    if (!m) return KL_ERR_BADID;
    if (item < 1 || static_cast<size_t>(item) > m->items.size()) return KL_ERR_BADINDEX;
    m->items[static_cast<size_t>(item) - 1].flags = value;
    return KL_NOERROR;
}

}  // namespace kl::host
