#include "shell/settings/settings.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>
#include <system_error>

#include <nlohmann/json.hpp>

#include "geodata/utf8_text.h"
#include "host/sdk/kl_host_api.h"
#include "base/folders.h"

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
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

// Files above the size limit, folders and unreadable files give nothing.
std::optional<std::string> readSmallFile(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxSettingsFileBytes) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return text;
}

// <file>.nieczytelny-<UTC date and time>[-n]; link and unlink, so that an
// earlier file of that name is never replaced. Only files and links move.
std::optional<std::filesystem::path> setAside(const std::filesystem::path& file) {
    std::error_code ec;
    const auto kind = std::filesystem::symlink_status(file, ec).type();
    if (kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::symlink) return std::nullopt;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    const std::string base = file.string() + ".nieczytelny-" + stamp;
    for (int n = 1; n < 100; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        if (::link(file.c_str(), name.c_str()) == 0) {
            if (::unlink(file.c_str()) != 0) return std::nullopt;
            return std::filesystem::path(name);
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
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

std::string layerNameForHost(std::string_view name) {
    if (name.size() <= KL_NAME_MAX) return std::string(name);
    std::size_t n = KL_NAME_MAX;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return std::string(name.substr(0, n));
}

bool isUsableLayerName(std::string_view name) noexcept {
    if (name.empty()) return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

bool setLayer(Settings& settings, DataType type, std::string_view name) {
    if (!isUsableLayerName(name)) return false;
    settings.layers[type] = layerNameForHost(name);
    return true;
}

SettingsRead readSettingsText(std::string_view text) {
    SettingsRead read{defaultSettings(), false, {}};
    // One stray byte must not cost the whole file: the text is repaired, and
    // only the values that held such a byte are refused below.
    const std::string repairedText = geo::validUtf8(text);
    const bool repaired = repairedText != text;
    const auto usableText = [repaired](const json& v) {
        return v.is_string() && !(repaired && v.get_ref<const std::string&>().find(kReplacement) != std::string::npos);
    };
    const json root = json::parse(repairedText, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        read.unreadable = true;
        return read;
    }
    Settings& s = read.settings;
    const auto layers = root.find(kLayersKey);
    if (layers != root.end() && !layers->is_object()) read.dropped.emplace_back(kLayersKey);
    if (layers != root.end() && layers->is_object()) {
        for (const DataType t : geo::allDataTypes()) {
            const std::string key(geo::dataTypeKey(t));
            const auto entry = layers->find(key);
            if (entry == layers->end()) continue;
            if (!usableText(*entry) || !setLayer(s, t, entry->get_ref<const std::string&>()))
                read.dropped.push_back(std::string(kLayersKey) + "." + key);
        }
    }
    const auto basemap = root.find(kBasemapKey);
    if (basemap != root.end()) {
        if (usableText(*basemap) && basemap->get_ref<const std::string&>().size() <= 64)
            s.basemap = basemap->get<std::string>();
        else
            read.dropped.emplace_back(kBasemapKey);
    }
    if (const auto anchor = finiteNumber(root, kAnchorKey)) {
        s.zAnchor = *anchor;
        s.hasZAnchor = true;
        s.zAnchorSite = readAnchorSite(root);
        if (!s.zAnchorSite && root.contains(kAnchorSiteKey)) read.dropped.emplace_back(kAnchorSiteKey);
    } else if (root.contains(kAnchorKey)) {
        read.dropped.emplace_back(kAnchorKey);
    }
    return read;
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

LoadedSettings loadSettings(const std::filesystem::path& file) {
    std::error_code ec;
    const auto kind = std::filesystem::symlink_status(file, ec).type();
    if (kind == std::filesystem::file_type::not_found) return {defaultSettings(), {}};
    const std::optional<std::string> text = readSmallFile(file);
    const SettingsRead read = text ? readSettingsText(*text) : SettingsRead{defaultSettings(), true, {}};
    if (read.complete()) return {read.settings, {}};

    std::string message = "Plik ustawien " + file.string();
    if (read.unreadable) {
        message += " jest nieczytelny (uszkodzony, zbyt duzy albo bez dostepu) - uzyto ustawien domyslnych.";
    } else {
        message += " ma nieprawidlowe wpisy (";
        for (std::size_t i = 0; i < read.dropped.size(); ++i) message += (i ? ", " : "") + read.dropped[i];
        message += ") - uzyto dla nich wartosci domyslnych, reszte zachowano.";
    }
    const std::optional<std::filesystem::path> aside = setAside(file);
    if (!aside) return {read.settings, message + " Nie udalo sie odlozyc starego pliku - nie zapisuj ustawien, "
                                                 "zanim go nie sprawdzisz."};
    message += " Stary plik zachowano jako " + aside->string() + ".";
    // What was read is written back at once, so it outlives a restart.
    if (!read.unreadable) {
        const FileWriteResult saved = saveSettings(read.settings, file);
        if (!saved.ok) message += " " + saved.message + ".";
    }
    return {read.settings, message};
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
