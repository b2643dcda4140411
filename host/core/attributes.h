#pragma once
// Attribute tables of the project: layers, fills, surfaces, building
// materials and pens, each addressed by a 1-based index and unique by name.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct Attribute {
    int32_t type = 0;
    int32_t index = 0;
    std::string name;
    double red = 0, green = 0, blue = 0;
    int32_t fillKind = 0;
    int32_t flags = 0;
};

KlAttribute toRecord(const Attribute& a);
bool validAttributeType(int32_t type);

class AttributeTables {
public:
    AttributeTables();  // the defaults of an empty project

    // Checks the record; on success the new attribute (index filled) is
    // returned through `created`. A taken name gives KL_ERR_ATTREXIST and the
    // index of the existing attribute in attr.
    KlErr validateNew(KlAttribute& attr, Attribute& created) const;
    void append(const Attribute& a);
    void removeLast(int32_t type);

    const std::vector<Attribute>& list(int32_t type) const;
    const Attribute* find(int32_t type, int32_t index) const;

private:
    std::array<std::vector<Attribute>, 6> tables_;
};

}  // namespace kl::host
