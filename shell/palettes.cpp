#include "shell/palettes.h"

#include <array>
#include <functional>
#include <string>
#include <utility>

#include "shell/build_info.h"
#include "base/controller_registry.h"
#include "base/host_access.h"

namespace kl::shell {
namespace {

constexpr std::array<WebResource, 12> kMapResources{{
    {100, "map.html"},
    {101, "map.js"},
    {102, "map.css"},
    {103, "address.js"},
    {104, "mapview.js"},
    {105, "settings.js"},
    {120, "bridge.js"},
    {110, "leaflet.js"},
    {111, "leaflet.css"},
    {112, "maplibre-gl.js"},
    {113, "maplibre-gl.css"},
    {114, "leaflet-maplibre-gl.js"},
}};

constexpr std::array<WebResource, 6> kCloudResources{{
    {200, "cloud.html"},
    {201, "cloud.js"},
    {202, "cloud.css"},
    {120, "bridge.js"},
    {110, "leaflet.js"},
    {111, "leaflet.css"},
}};

bool isWebAddress(const std::string& url) { return url.starts_with("https://") || url.starts_with("http://"); }

void registerMapHandlers(Bridge& bridge) {
    bridge.on("ping", [](const nlohmann::json&) {
        return nlohmann::json{{"type", "pong"}, {"wersja", kAddonVersion}, {"build", buildStamp()}};
    });
    bridge.on("openExternal", [](const nlohmann::json& msg) {
        if (msg.contains("url")) {
            // A "url" of another kind throws here and becomes an internal-error reply.
            const std::string url = msg.at("url").get<std::string>();
            if (isWebAddress(url)) host()->ShellOpen("open", url.c_str(), 1);
        }
        return nlohmann::json{{"type", "noop"}};
    });
}

void registerCloudHandlers(Bridge& bridge) {
    bridge.on("ping", [](const nlohmann::json&) { return nlohmann::json{{"type", "pong"}, {"build", buildStamp()}}; });
}

template <class Palette>
PageChannel channelOf() {
    return {&Palette::sendIfAlive, &Palette::hasInstance, [](std::function<void()> task, std::function<void()> onFailure) {
                return Palette::post(std::move(task), std::move(onFailure));
            }};
}

// The modules reach both pages from the moment the add-on is loaded.
const struct NamePageChannels {
    NamePageChannels() {
        setPageChannel(PaletteKind::Map, channelOf<MapPalette>());
        setPageChannel(PaletteKind::Cloud, channelOf<CloudPalette>());
    }
} kPageChannels;

}  // namespace

const PaletteTraits& MapPalette::paletteTraits() {
    static const PaletteTraits traits{
        "MapPalette", PaletteKind::Map, 32500, parseGuid("{6B1C0A7E-92D4-4F7B-B1A9-3C58D2E4F016}"), 1,
        "KARTOLINK",  "map.html",      "KARTOLINK: ", kMapResources, &registerMapHandlers,
    };
    return traits;
}

const PaletteTraits& CloudPalette::paletteTraits() {
    static const PaletteTraits traits{
        "CloudPalette", PaletteKind::Cloud, 32600, parseGuid("{BE37AFB8-AC68-44F2-A7CE-DB3CC77A178B}"), 2,
        "Ordvik_Cloud", "cloud.html",       "Ordvik Cloud: ", kCloudResources, &registerCloudHandlers,
    };
    return traits;
}

}  // namespace kl::shell
