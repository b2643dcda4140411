#include "net/geocoder.h"

#include <cmath>

#include "geodata/coordinate_text.h"
#include "net/url_text.h"

namespace kl::net {
namespace {

using nlohmann::json;

constexpr const char* kNominatimSilent = "Wyszukiwarka adresow nie odpowiada (Nominatim)";
constexpr const char* kNominatimUnreadable = "Wyszukiwarka adresow zwrocila nieczytelna odpowiedz (Nominatim)";

bool isBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

std::size_t utf8Chars(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool sendable(std::string_view query) { return !isBlank(query) && utf8Chars(query) <= kMaxAddressQueryChars; }

// Nominatim sends coordinates as texts; a number is read as well. The text is
// read with the C syntax whatever the process locale: under a decimal-comma
// locale a locale-bound reading would stop at the dot and move the map by
// up to a degree.
std::optional<double> coordinate(const json& value, double limit) {
    double v = 0;
    if (value.is_number()) {
        v = value.get<double>();
    } else if (value.is_string()) {
        std::vector<double> numbers;
        if (!geo::readNumbers(value.get_ref<const std::string&>(), numbers) || numbers.size() != 1) return std::nullopt;
        v = numbers.front();
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(v) || std::abs(v) > limit) return std::nullopt;
    return v;
}

// The member of an object, or null when either is missing.
const json& member(const json& object, const char* key) {
    static const json none;
    if (!object.is_object()) return none;
    const auto it = object.find(key);
    return it == object.end() ? none : *it;
}

std::string textOf(const json& object, const char* key) {
    const json& value = member(object, key);
    return value.is_string() ? value.get<std::string>() : std::string();
}

}  // namespace

AddressSearch nominatimSearch(WfsClient& client, std::string_view origin, std::string_view query) {
    if (isBlank(query)) return {};
    if (!sendable(query))
        return {std::nullopt,
                "Wpisany adres jest za dlugi (najwiecej " + std::to_string(kMaxAddressQueryChars) + " znakow)."};
    const std::string url = std::string(origin) + std::string(kNominatimSearchPath) +
                            "?format=json&limit=1&countrycodes=pl&q=" + urlEncode(query);
    // An HTML maintenance page is no answer of the geocoder, so it is asked again.
    const HttpResponse r = client.get(url, ExpectedBody::Json);
    if (!r.ok || r.status != 200) return {std::nullopt, kNominatimSilent};

    const json body = json::parse(r.body, nullptr, false);
    if (body.is_discarded()) return {std::nullopt, kNominatimUnreadable};
    // Any other document (an object, an empty list) has no place in it.
    if (!body.is_array() || body.empty() || !body.front().is_object()) return {};
    const json& best = body.front();
    const auto lat = coordinate(member(best, "lat"), 90.0);
    const auto lon = coordinate(member(best, "lon"), 180.0);
    if (!lat || !lon) return {std::nullopt, kNominatimUnreadable};
    return {AddressPlace{*lat, *lon, textOf(best, "display_name")}, {}};
}

std::vector<AddressPlace> photonSuggest(WfsClient& client, std::string_view origin, std::string_view query, int limit,
                                        int receiveTimeoutMs) {
    std::vector<AddressPlace> items;
    if (!sendable(query)) return items;
    const std::string url = std::string(origin) + std::string(kPhotonSearchPath) + "?q=" + urlEncode(query) +
                            "&limit=" + std::to_string(limit) + "&bbox=14.1,49.0,24.2,54.9";
    const HttpResponse r = client.getWithTimeout(url, receiveTimeoutMs);
    if (!r.ok) return items;

    const json body = json::parse(r.body, nullptr, false);
    const json& features = member(body, "features");
    if (!features.is_array()) return items;
    for (const json& feature : features) {
        const json& coordinates = member(member(feature, "geometry"), "coordinates");
        if (!coordinates.is_array() || coordinates.size() < 2) continue;
        const auto lon = coordinate(coordinates[0], 180.0);
        const auto lat = coordinate(coordinates[1], 90.0);
        if (!lat || !lon) continue;
        items.push_back({*lat, *lon, photonLabel(member(feature, "properties"))});
        if (static_cast<int>(items.size()) == limit) break;
    }
    return items;
}

std::string photonLabel(const json& properties) {
    const std::string street = textOf(properties, "street");
    const std::string number = textOf(properties, "housenumber");
    const std::string address = street.empty() ? number : number.empty() ? street : street + " " + number;
    std::string label;
    for (const std::string& part : {textOf(properties, "name"), address, textOf(properties, "city"),
                                    textOf(properties, "county")}) {
        if (part.empty()) continue;
        if (!label.empty()) label += ", ";
        label += part;
    }
    return label;
}

}  // namespace kl::net
