#pragma once
// Read-only view of an add-on module's resource table.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct DialogItem {
    std::string type;
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct DialogDescription {
    std::string title;
    int32_t width = 0, height = 0;
    std::vector<DialogItem> items;
};

class ResourceTable {
public:
    ResourceTable() = default;
    explicit ResourceTable(const KlResource* entries) : entries_(entries) {}

    bool empty() const { return entries_ == nullptr; }
    const KlResource* find(uint32_t type, int32_t id) const;

    // The strings of a 'STR#' list; index 1 is the first element.
    std::optional<std::vector<std::string>> stringList(int32_t id) const;
    std::optional<DialogDescription> dialog(int32_t id) const;

private:
    const KlResource* entries_ = nullptr;
};

// Splits a string-list body: strings end with '\0', an empty string ends the list.
std::vector<std::string> splitStringList(const unsigned char* data, size_t size);
std::optional<DialogDescription> parseDialog(std::string_view json);

// The table symbol is the array itself; a module that exported a pointer to
// the array instead is recognised too, because a first entry whose type is
// not a known resource type cannot be a table entry.
const KlResource* resourceTableFromSymbol(const void* symbol);

}  // namespace kl::host
