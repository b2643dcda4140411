#include "import/fetch_request.h"

#include <array>
#include <cmath>
#include <string_view>

#include "geodata/polish_crs.h"

namespace kl::import {
namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 20> kLayerKeys = {
    "dzialki",     "budynki",     "pog",         "mpzp",         "gesut",       "bdot500",     "rastr",
    "teren",       "terenchmura", "poziomicechmura", "wodachmura", "budynki3d", "dachychmura", "budynkindsm",
    "budynkirekon", "mosty",      "drogi",       "budynkilod2",  "poziomice2d", "poziomice3d"};

FetchRequestCheck refuse(std::string text) { return {std::nullopt, std::move(text)}; }

bool insidePoland(double west, double south, double east, double north) {
    return geo::isInsidePoland(south, west) && geo::isInsidePoland(north, east);
}

// The first field present with the wrong JSON kind, so the user reads its
// name instead of the JSON library's text; null when every field fits.
const char* fieldOfWrongKind(const json& msg) {
    const auto has = [&msg](const char* key, bool (*fits)(const json&)) {
        const auto it = msg.find(key);
        return it == msg.end() || fits(*it);
    };
    const auto number = [](const json& v) { return v.is_number(); };
    const auto boolean = [](const json& v) { return v.is_boolean(); };
    const auto texts = [](const json& v) {
        if (!v.is_array()) return false;
        for (const json& e : v)
            if (!e.is_string()) return false;
        return true;
    };
    for (const json& v : msg.at("bboxWgs84"))
        if (!v.is_number()) return "bboxWgs84";
    if (!has("layers", texts)) return "layers";
    for (const char* key : {"rasterScale", "terrainStep", "poziomiceCiecie", "terenChmuraKrok"})
        if (!has(key, number)) return key;
    if (!has("poziomiceWygladz", boolean)) return "poziomiceWygladz";
    return nullptr;
}

// A whole-number option: a JSON number of any size may arrive, and only one
// that fits is turned into an int.
std::optional<int> wholeOption(const json& msg, const char* key, int fallback, int most) {
    const auto it = msg.find(key);
    if (it == msg.end()) return fallback;
    const double v = it->get<double>();
    if (!(v >= 1 && v <= most) || v != std::floor(v)) return std::nullopt;
    return static_cast<int>(v);
}

}  // namespace

bool isKnownLayerKey(const std::string& key) {
    for (std::string_view k : kLayerKeys)
        if (k == key) return true;
    return false;
}

FetchRequestCheck readFetchRequest(const json& msg) {
    const auto box = msg.find("bboxWgs84");
    if (box == msg.end() || !box->is_array() || box->size() != 4) return refuse("Nieprawidlowy bbox");

    if (const char* field = fieldOfWrongKind(msg))
        return refuse(std::string("Pole \"") + field + "\" ma nieprawidlowy typ.");

    FetchRequest r;
    r.west = box->at(0).get<double>();
    r.south = box->at(1).get<double>();
    r.east = box->at(2).get<double>();
    r.north = box->at(3).get<double>();
    if (const auto layers = msg.find("layers"); layers != msg.end())
        r.layers = layers->get<std::vector<std::string>>();
    const auto rasterScale = wholeOption(msg, "rasterScale", r.rasterScale, 1'000'000);
    const auto terrainStep = wholeOption(msg, "terrainStep", r.terrainStep, 1'000);
    if (!rasterScale) return refuse("Nieprawidlowa skala rastra: oczekiwano liczby calkowitej od 1 do 1000000.");
    if (!terrainStep) return refuse("Nieprawidlowy krok terenu: oczekiwano liczby calkowitej od 1 do 1000.");
    r.rasterScale = *rasterScale;
    r.terrainStep = *terrainStep;
    r.contourInterval = msg.value("poziomiceCiecie", 1.0);
    r.smoothContours = msg.value("poziomiceWygladz", false);
    r.cloudStep = msg.value("terenChmuraKrok", 1.0);

    for (double v : {r.west, r.south, r.east, r.north})
        if (!std::isfinite(v)) return refuse("Nieprawidlowy bbox: wspolrzedne musza byc skonczonymi liczbami.");
    if (!(r.west < r.east) || !(r.south < r.north))
        return refuse("Nieprawidlowy bbox: kadr ma zerowy lub ujemny rozmiar.");
    if (!insidePoland(r.west, r.south, r.east, r.north))
        return refuse("Kadr lezy poza Polska - dane GIS sa dostepne tylko dla obszaru Polski.");

    r.frame = geo::pl1992BoxFromWgs84Frame(r.west, r.south, r.east, r.north);
    r.workingZone = geo::pl2000EpsgForLongitude((r.west + r.east) / 2.0);
    const double areaKm2 = (r.frame.maxX - r.frame.minX) * (r.frame.maxY - r.frame.minY) / 1e6;
    if (!(areaKm2 <= kMaxFrameAreaKm2))
        return refuse("Kadr za duzy: " + std::to_string(static_cast<long long>(areaKm2)) +
                      " km2 (dozwolone do " + std::to_string(static_cast<int>(kMaxFrameAreaKm2)) +
                      " km2). Przybliz mape i sprobuj ponownie.");

    for (const std::string& key : r.layers)
        if (!isKnownLayerKey(key)) return refuse("Nieznany rodzaj danych: \"" + key + "\".");
    return {std::move(r), {}};
}

}  // namespace kl::import
