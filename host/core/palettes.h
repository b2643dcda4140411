#pragma once
// Palettes and their browser controls as the host keeps them. Handles given
// to the add-on are checked against the live sets, so a stale handle is an
// error code, not a crash. Main thread only.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/core/resources.h"
#include "host/sdk/kl_host_api.h"

struct KlPalette {
    int32_t id = 0;
    int32_t dialogResId = 0;
    KlGuid guid{};
    kl::host::DialogDescription dialog;
    bool visible = false;
    bool enabled = true;
    KlPaletteObserver observer{};
    bool hasObserver = false;
};

struct KlBrowser {
    struct Function {
        KlScriptFunction function = nullptr;
        void* ctx = nullptr;
    };
    int32_t id = 0;
    KlPalette* palette = nullptr;
    int32_t item = 0;
    std::string url;
    std::string urlSuffix;
    std::filesystem::path folder;
    std::string startFile;
    std::map<std::pair<std::string, std::string>, Function> functions;
    KlBrowserEvents events{};
    bool hasEvents = false;
    bool loading = false;
    std::vector<std::pair<int32_t, std::string>> loadErrors;
};

namespace kl::host {

struct PaletteRegistration {
    int32_t referenceNumber = 0;
    KlPaletteControl control = nullptr;
    int32_t flags = 0;
    KlGuid guid{};
};

class PaletteRegistry {
public:
    KlErr registerPalette(const PaletteRegistration& r);
    const PaletteRegistration* registration(int32_t referenceNumber) const;
    const PaletteRegistration* registrationFor(const KlGuid& guid) const;
    const std::vector<PaletteRegistration>& registrations() const { return registrations_; }

    KlPalette* create(int32_t dialogResId, const KlGuid& guid, DialogDescription dialog);
    // Destroys the palette; the ids of its browsers are returned (also destroyed).
    std::vector<int32_t> destroy(KlPalette* palette);
    KlPalette* palette(KlPaletteRef ref) const;
    KlPalette* paletteById(int32_t id) const;

    KlBrowser* createBrowser(KlPalette* palette, int32_t item);
    void destroyBrowser(KlBrowser* browser);
    KlBrowser* browser(KlBrowserRef ref) const;
    KlBrowser* browserById(int32_t id) const;

    std::vector<KlPalette*> palettes() const;
    std::vector<KlBrowser*> browsersOf(const KlPalette* palette) const;

private:
    std::vector<PaletteRegistration> registrations_;
    std::map<int32_t, std::unique_ptr<KlPalette>> palettes_;
    std::map<int32_t, std::unique_ptr<KlBrowser>> browsers_;
    int32_t nextPalette_ = 1;
    int32_t nextBrowser_ = 1;
};

}  // namespace kl::host
