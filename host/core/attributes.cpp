#include "host/core/attributes.h"

#include <cstring>

namespace kl::host {

bool validAttributeType(int32_t type) { return type >= KL_ATTR_LAYER && type <= KL_ATTR_PEN; }

KlAttribute toRecord(const Attribute& a) {
    KlAttribute r{};
    r.type = a.type;
    r.index = a.index;
    std::memcpy(r.name, a.name.data(), a.name.size());
    r.red = a.red;
    r.green = a.green;
    r.blue = a.blue;
    r.fillKind = a.fillKind;
    r.flags = a.flags;
    return r;
}

AttributeTables::AttributeTables() {
    auto add = [this](int32_t type, const char* name, int32_t fillKind = 0, double grey = 0.7) {
        Attribute a;
        a.type = type;
        a.name = name;
        a.fillKind = fillKind;
        a.red = a.green = a.blue = grey;
        a.index = static_cast<int32_t>(tables_[type].size()) + 1;
        tables_[type].push_back(a);
    };
    add(KL_ATTR_LAYER, "ArchiCAD Layer");
    add(KL_ATTR_FILL, "Solid Fill", 0);
    add(KL_ATTR_FILL, "Empty Fill", 2);
    add(KL_ATTR_FILL, "Diagonal Hatch", 1);
    add(KL_ATTR_SURFACE, "Generic Surface");
    add(KL_ATTR_SURFACE, "Grass", 0, 0.4);
    add(KL_ATTR_BUILDINGMATERIAL, "General Building Material");
    for (int pen = 1; pen <= 255; ++pen) add(KL_ATTR_PEN, ("Pen " + std::to_string(pen)).c_str(), 0, 0.0);
}

KlErr AttributeTables::validateNew(KlAttribute& attr, Attribute& created) const {
    if (!validAttributeType(attr.type)) return KL_ERR_BADPARS;
    if (attr.type == KL_ATTR_PEN) return KL_ERR_NOTSUPPORTED;  // the pen table is fixed
    const size_t len = strnlen(attr.name, KL_NAME_MAX + 1);
    if (len == 0 || len > KL_NAME_MAX) return KL_ERR_BADPARS;
    if (attr.type == KL_ATTR_FILL && (attr.fillKind < 0 || attr.fillKind > 2)) return KL_ERR_BADPARS;
    std::string name(attr.name, len);
    for (const auto& a : tables_[attr.type]) {
        if (a.name == name) {
            attr.index = a.index;
            return KL_ERR_ATTREXIST;
        }
    }
    created.type = attr.type;
    created.index = static_cast<int32_t>(tables_[attr.type].size()) + 1;
    created.name = std::move(name);
    created.red = attr.red;
    created.green = attr.green;
    created.blue = attr.blue;
    created.fillKind = attr.type == KL_ATTR_FILL ? attr.fillKind : 0;
    created.flags = attr.type == KL_ATTR_LAYER ? (attr.flags & 3) : 0;
    return KL_NOERROR;
}

void AttributeTables::append(const Attribute& a) { tables_[a.type].push_back(a); }

void AttributeTables::removeLast(int32_t type) {
    if (validAttributeType(type) && !tables_[type].empty()) tables_[type].pop_back();
}

const std::vector<Attribute>& AttributeTables::list(int32_t type) const {
    static const std::vector<Attribute> none;
    return validAttributeType(type) ? tables_[type] : none;
}

const Attribute* AttributeTables::find(int32_t type, int32_t index) const {
    const auto& l = list(type);
    if (index < 1 || static_cast<size_t>(index) > l.size()) return nullptr;
    return &l[static_cast<size_t>(index) - 1];
}

}  // namespace kl::host
