#pragma once
// The user's settings: target layer per kind of data, base map and the height
// anchor that keeps repeated imports on one height datum.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geodata/data_type.h"
#include "base/atomic_file.h"

namespace kl::settings {

using geo::DataType;

// Where the anchor height was taken: the project's survey point at that time.
struct AnchorSite {
    double easting = 0.0;
    double northing = 0.0;
    int epsg = 0;
    friend bool operator==(const AnchorSite&, const AnchorSite&) = default;
};

struct Settings {
    std::map<DataType, std::string> layers;  // every type, see defaultSettings()
    std::string basemap = "osm";
    double zAnchor = 0.0;  // metres, PL-EVRF2007-NH
    bool hasZAnchor = false;
    // Absent for anchors saved before the site was recorded.
    std::optional<AnchorSite> zAnchorSite;
};

// Default target layer of a type ("GIS_DZIALKI", ...); "GIS_INNE" outside the table.
std::string_view defaultLayerName(DataType type) noexcept;

Settings defaultSettings();

// The longest name the host keeps, cut on a UTF-8 character boundary.
std::string layerNameForHost(std::string_view name);

// A layer name the host can create: not empty, no control characters.
bool isUsableLayerName(std::string_view name) noexcept;

// Sets one type's layer, cut to the host's length, when the name is usable;
// returns whether it was taken.
bool setLayer(Settings& settings, DataType type, std::string_view name);

struct SettingsRead {
    Settings settings;
    bool unreadable = false;            // nothing could be taken: every entry is a default
    std::vector<std::string> dropped;   // keys of entries that were present but not usable
    bool complete() const { return !unreadable && dropped.empty(); }
};

// Settings from the file's text. Anything malformed falls back to the defaults,
// entry by entry where the file is an object, wholesale where it is not.
SettingsRead readSettingsText(std::string_view text);
std::string serializeSettings(const Settings& settings);

// Files larger than this are not read at all.
inline constexpr std::uintmax_t kMaxSettingsFileBytes = 1u << 20;

struct LoadedSettings {
    Settings settings;
    // Polish, empty when the file was read whole or is not there yet. A file
    // that was not read whole is first set aside under a dated name, so the
    // next save cannot take what it held.
    std::string message;
};

LoadedSettings loadSettings(const std::filesystem::path& file);
// Replaces the file completely or leaves the old one; the folder is created.
// A symlinked file is replaced at its target, and the file's mode is kept.
FileWriteResult saveSettings(const Settings& settings, const std::filesystem::path& file);

// <roaming application data>/KARTOLINK/settings.json; both folders are created.
std::filesystem::path settingsFilePath();

}  // namespace kl::settings
