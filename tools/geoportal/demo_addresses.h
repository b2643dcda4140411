#pragma once
// The places of the demo site that the local geocoders know: the market
// square, the streets (where the site draws them) and a few house addresses,
// with their Polish names.

#include "tools/geoportal/demo_area.h"

#include <string>
#include <string_view>
#include <vector>

namespace kl::geoportal {

namespace demo {
inline constexpr std::string_view kTownName = "Bolesławiec";
inline constexpr std::string_view kCountyName = "powiat bolesławiecki";
inline constexpr std::string_view kStateName = "województwo dolnośląskie";
inline constexpr std::string_view kPostcode = "59-700";
inline constexpr std::string_view kCountryName = "Polska";
}  // namespace demo

struct DemoAddress {
    long long osmId = 0;
    char osmType = 'W';         // N, W or R
    std::string osmKey;         // "place", "highway", "building"
    std::string osmValue;       // "square", "residential", "house", ...
    std::string name;           // empty for a bare house address
    std::string street;         // for house addresses
    std::string housenumber;
    double lat = 0, lon = 0;    // WGS84 degrees
};

// Every place, the square first.
const std::vector<DemoAddress>& demoAddresses();

// The places whose words begin with every word of the query (case and Polish
// diacritics ignored: "boleslawiec, rynek" finds the square), in list order.
std::vector<const DemoAddress*> findDemoAddresses(std::string_view query);

// "Rynek, Bolesławiec, powiat bolesławiecki, ..., Polska", as Nominatim names places.
std::string displayName(const DemoAddress& place);

}  // namespace kl::geoportal
