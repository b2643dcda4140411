#pragma once
// Menus the add-on registered from its string lists: string 1 is the menu
// title, string 2 the submenu title, the rest are the items (1-based).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct MenuItem {
    std::string raw;   // as in the string list, with the flag suffix
    std::string text;  // as shown
    int32_t flags = 0;
};

struct Menu {
    int32_t resId = 0;
    std::string title;
    std::string submenu;
    std::vector<MenuItem> items;
    KlMenuHandler handler = nullptr;
};

// Drops the host's menu-flag notation ("^ES^EE...") from an item text.
std::string menuDisplayText(std::string_view raw);

class MenuRegistry {
public:
    KlErr add(int32_t resId, const std::vector<std::string>& strings);
    KlErr installHandler(int32_t resId, KlMenuHandler handler);
    KlErr flags(int32_t resId, int32_t item, int32_t* flags) const;
    KlErr setFlags(int32_t resId, int32_t item, int32_t flags);
    const Menu* find(int32_t resId) const;
    const std::vector<Menu>& all() const { return menus_; }

private:
    Menu* findMutable(int32_t resId);
    std::vector<Menu> menus_;
};

}  // namespace kl::host
