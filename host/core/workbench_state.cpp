#include "host/core/guid.h"
#include "host/core/workbench.h"

namespace kl::host {

nlohmann::json Workbench::state() const {
    using J = nlohmann::json;
    J menus = J::array();
    for (const auto& m : menus_.all()) {
        J items = J::array();
        int32_t index = 1;
        for (const auto& it : m.items)
            items.push_back({{"index", index++}, {"text", it.text}, {"raw", it.raw}, {"flags", it.flags},
                             {"checked", (it.flags & KL_MENUFLAG_CHECKED) != 0},
                             {"disabled", (it.flags & KL_MENUFLAG_DISABLED) != 0}});
        menus.push_back({{"id", m.resId}, {"title", m.title}, {"submenu", m.submenu}, {"items", items},
                         {"handler", m.handler != nullptr}});
    }
    J registrations = J::array();
    for (const auto& r : palettes_.registrations())
        registrations.push_back(
            {{"ref", r.referenceNumber}, {"guid", guidToString(r.guid)}, {"flags", r.flags}});
    J palettes = J::array();
    for (const KlPalette* p : palettes_.palettes()) {
        J browsers = J::array();
        for (const KlBrowser* b : palettes_.browsersOf(p)) {
            J errors = J::array();
            for (const auto& [code, url] : b->loadErrors) errors.push_back({{"code", code}, {"url", url}});
            J objects = J::array();
            for (const auto& [key, fn] : b->functions) objects.push_back(key.first + "." + key.second);
            browsers.push_back({{"id", b->id}, {"item", b->item}, {"url", b->url}, {"startFile", b->startFile},
                                {"suffix", b->urlSuffix}, {"loading", b->loading}, {"loadErrors", errors},
                                {"objects", objects}, {"hasPage", !b->startFile.empty()}});
        }
        J items = J::array();
        for (const auto& it : p->dialog.items)
            items.push_back({{"type", it.type}, {"x", it.x}, {"y", it.y}, {"w", it.width}, {"h", it.height}});
        const PaletteRegistration* reg = palettes_.registrationFor(p->guid);
        palettes.push_back({{"id", p->id}, {"dialog", p->dialogResId}, {"guid", guidToString(p->guid)},
                            {"ref", reg ? J(reg->referenceNumber) : J()}, {"title", p->dialog.title},
                            {"width", p->dialog.width}, {"height", p->dialog.height}, {"visible", p->visible},
                            {"enabled", p->enabled}, {"items", items}, {"browsers", browsers}});
    }
    J byType = J::object(), byLayer = J::object();
    for (const auto& [seq, r] : project_->elements().all()) {
        const char* type = elementTypeName(r->element.type);
        byType[type] = byType.value(type, 0) + 1;
        const Attribute* layer = project_->attributes().find(KL_ATTR_LAYER, r->element.layer);
        J& slot = byLayer[layer ? layer->name : std::to_string(r->element.layer)];
        if (slot.is_null()) slot = J::object();
        slot[type] = slot.value(type, 0) + 1;
    }
    J steps = J::array(), redo = J::array();
    for (const auto& s : project_->journal().done()) steps.push_back(s.name);
    for (const auto& s : project_->journal().undone()) redo.push_back(s.name);
    J report = J::array();
    for (const auto& l : report_) report.push_back({{"text", l.text}, {"dialog", l.dialog}});
    J opened = J::array();
    for (const auto& o : shellOpens_)
        opened.push_back({{"verb", o.verb}, {"address", o.address}, {"showMode", o.showMode}, {"launched", o.launched}});
    J selection = J::array();
    for (const KlGuid& g : project_->selection()) selection.push_back(guidToString(g));
    J layers = J::array();
    for (const auto& a : project_->attributes().list(KL_ATTR_LAYER)) layers.push_back(a.name);
    return {{"addon",
             {{"loaded", addon_.loaded}, {"path", addon_.path}, {"name", addon_.name},
              {"description", addon_.description}, {"type", addon_.addonType}, {"entryCalls", addon_.entryCalls},
              {"error", addon_.error}, {"keepInMemory", keepInMemory_}}},
            {"options", options_.hostOptions},
            {"menus", menus},
            {"registrations", registrations},
            {"palettes", palettes},
            {"elements", {{"total", project_->elements().size()}, {"byType", byType}, {"byLayer", byLayer}}},
            {"layers", layers},
            {"undo", {{"steps", steps}, {"redo", redo}}},
            {"report", report},
            {"alerts", alerts_.toJson()},
            {"selection", selection},
            {"liveMemos", project_->memos().live()},
            {"liveBodies", project_->liveBodies()},
            {"shellOpened", opened},
            {"projectEvents", {{"catchers", catchers_.size()}, {"quitSent", quitSent_}}},
            {"faults", faults_.describe()},
            {"offThreadCalls", offThreadCalls_.load()},
            {"revision", feed_.current()}};
}

}  // namespace kl::host
