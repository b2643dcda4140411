#include "shell/settings/settings.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <system_error>

#include <nlohmann/json.hpp>

#include "shell/platform/folders.h"

namespace kl::settings {
namespace {

using nlohmann::json;

constexpr std::string_view kDefaultLayers[geo::kDataTypeCount] = {
    "GIS_DZIALKI",      "GIS_BUDYNKI",         "GIS_MPZP",          "GIS_POG",
    "GIS_GESUT",        "GIS_BDOT500",         "GIS_TEREN",         "GIS_RASTRY",
    "GIS_BUDYNKI_3D",   "GIS_POZIOMICE_2D",    "GIS_POZIOMICE_3D",  "GIS_BUDYNKI_LOD2",
    "GIS_BUDYNKI_NMPT", "GIS_MOSTY",           "GIS_DROGI",         "GIS_TEREN_CHMURA",
    "GIS_POZIOMICE_CHMURA_2D", "GIS_POZIOMICE_CHMURA_3D", "GIS_BUDYNKI_LOD2_REKON", "GIS_WODA_CHMURA",
};

constexpr const char* kLayersKey = "layers";
constexpr const char* kBasemapKey = "basemap";
constexpr const char* kAnchorKey = "zAnchor";
constexpr const char* kAnchorSiteKey = "zAnchorSurveyPoint";

std::optional<double> finiteNumber(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_number()) return std::nullopt;
    const double v = it->get<double>();
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<AnchorSite> readAnchorSite(const json& root) {
    const auto it = root.find(kAnchorSiteKey);
    if (it == root.end() || !it->is_object()) return std::nullopt;
    const auto e = finiteNumber(*it, "e");
    const auto n = finiteNumber(*it, "n");
    const auto epsg = it->find("epsg");
    if (!e || !n || epsg == it->end() || !epsg->is_number_integer()) return std::nullopt;
    const auto code = epsg->get<std::int64_t>();
    if (code <= 0 || code > 999999) return std::nullopt;
    return AnchorSite{*e, *n, static_cast<int>(code)};
}

}  // namespace

std::string_view defaultLayerName(DataType type) noexcept {
    const auto i = static_cast<std::size_t>(type);
    return i < geo::kDataTypeCount ? kDefaultLayers[i] : std::string_view("GIS_INNE");
}

Settings defaultSettings() {
    Settings s;
    for (const DataType t : geo::allDataTypes()) s.layers[t] = std::string(defaultLayerName(t));
    return s;
}

bool isUsableLayerName(std::string_view name) noexcept {
    return !name.empty() && name.size() <= 255;
}

bool setLayer(Settings& settings, DataType type, std::string name) {
    if (!isUsableLayerName(name)) return false;
    settings.layers[type] = std::move(name);
    return true;
}

Settings parseSettings(std::string_view text) {
    Settings s = defaultSettings();
    const json root = json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) return s;

    const auto layers = root.find(kLayersKey);
    if (layers != root.end() && layers->is_object()) {
        for (const DataType t : geo::allDataTypes()) {
            const auto entry = layers->find(std::string(geo::dataTypeKey(t)));
            if (entry != layers->end() && entry->is_string()) setLayer(s, t, entry->get<std::string>());
        }
    }
    const auto basemap = root.find(kBasemapKey);
    if (basemap != root.end() && basemap->is_string() && basemap->get_ref<const std::string&>().size() <= 64) {
        s.basemap = basemap->get<std::string>();
    }
    if (const auto anchor = finiteNumber(root, kAnchorKey)) {
        s.zAnchor = *anchor;
        s.hasZAnchor = true;
        s.zAnchorSite = readAnchorSite(root);
    }
    return s;
}

std::string serializeSettings(const Settings& settings) {
    // Written in type order, as a reader scanning the file expects.
    nlohmann::ordered_json layers = nlohmann::ordered_json::object();
    for (const DataType t : geo::allDataTypes()) {
        const auto it = settings.layers.find(t);
        layers[std::string(geo::dataTypeKey(t))] =
            it != settings.layers.end() ? it->second : std::string(defaultLayerName(t));
    }
    nlohmann::ordered_json root = nlohmann::ordered_json::object();
    root[kLayersKey] = std::move(layers);
    root[kBasemapKey] = settings.basemap;
    if (settings.hasZAnchor) {
        root[kAnchorKey] = settings.zAnchor;
        if (settings.zAnchorSite) {
            root[kAnchorSiteKey] = nlohmann::ordered_json{{"e", settings.zAnchorSite->easting},
                                    {"n", settings.zAnchorSite->northing},
                                    {"epsg", settings.zAnchorSite->epsg}};
        }
    }
    return root.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

Settings loadSettings(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxSettingsFileBytes) return defaultSettings();
    std::ifstream in(file, std::ios::binary);
    if (!in) return defaultSettings();
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return defaultSettings();
    return parseSettings(text);
}

FileWriteResult saveSettings(const Settings& settings, const std::filesystem::path& file) {
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    return replaceFileAtomically(file, serializeSettings(settings));
}

std::filesystem::path settingsFilePath() {
    auto folder = platform::roamingAppDataDir() / "KARTOLINK";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder / "settings.json";
}

}  // namespace kl::settings
