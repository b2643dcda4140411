#include "host/core/resources.h"

#include <nlohmann/json.hpp>

namespace kl::host {

const KlResource* ResourceTable::find(uint32_t type, int32_t id) const {
    if (!entries_) return nullptr;
    for (const KlResource* r = entries_; r->type != 0; ++r)
        if (r->type == type && r->id == id) return r;
    return nullptr;
}

std::vector<std::string> splitStringList(const unsigned char* data, size_t size) {
    std::vector<std::string> out;
    if (!data) return out;
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != 0) continue;
        if (i == start) return out;
        out.emplace_back(reinterpret_cast<const char*>(data + start), i - start);
        start = i + 1;
    }
    // a last string without its terminator still counts
    if (start < size) out.emplace_back(reinterpret_cast<const char*>(data + start), size - start);
    return out;
}

std::optional<std::vector<std::string>> ResourceTable::stringList(int32_t id) const {
    const KlResource* r = find(KL_RES_STRLIST, id);
    if (!r) return std::nullopt;
    return splitStringList(r->data, r->size);
}

std::optional<DialogDescription> parseDialog(std::string_view text) {
    auto j = nlohmann::json::parse(text, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    DialogDescription d;
    auto intOf = [](const nlohmann::json& o, const char* key) -> int32_t {
        auto it = o.find(key);
        return it != o.end() && it->is_number_integer() ? it->get<int32_t>() : 0;
    };
    if (auto t = j.find("title"); t != j.end() && t->is_string()) d.title = t->get<std::string>();
    d.width = intOf(j, "width");
    d.height = intOf(j, "height");
    if (auto items = j.find("items"); items != j.end() && items->is_array()) {
        for (const auto& it : *items) {
            if (!it.is_object()) return std::nullopt;
            DialogItem item;
            if (auto t = it.find("type"); t != it.end() && t->is_string()) item.type = t->get<std::string>();
            item.x = intOf(it, "x");
            item.y = intOf(it, "y");
            item.width = intOf(it, "w");
            item.height = intOf(it, "h");
            d.items.push_back(item);
        }
    }
    if (d.width <= 0 || d.height <= 0) return std::nullopt;
    return d;
}

std::optional<DialogDescription> ResourceTable::dialog(int32_t id) const {
    const KlResource* r = find(KL_RES_DIALOG, id);
    if (!r || !r->data) return std::nullopt;
    return parseDialog(std::string_view(reinterpret_cast<const char*>(r->data), r->size));
}

namespace {

bool knownType(uint32_t t) {
    return t == 0 || t == KL_RES_DATA || t == KL_RES_STRLIST || t == KL_RES_DIALOG || t == KL_RES_ADDONID;
}

}  // namespace

const KlResource* resourceTableFromSymbol(const void* symbol) {
    if (!symbol) return nullptr;
    auto* asArray = static_cast<const KlResource*>(symbol);
    if (knownType(asArray->type)) return asArray;
    auto* asPointer = *static_cast<const KlResource* const*>(symbol);
    if (asPointer && knownType(asPointer->type)) return asPointer;
    return nullptr;
}

}  // namespace kl::host
