#pragma once
// Address look-ups in the OpenStreetMap geocoders, limited to Poland:
// Nominatim finds the one best match of a search, Photon suggests places
// while the user types. Blocking; callers run them off the main thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/wfs_client.h"

namespace kl::net {

inline constexpr std::string_view kNominatimSearchPath = "/search";
inline constexpr std::string_view kPhotonSearchPath = "/api/";
// A suggestion that comes later is useless: the user has typed on.
inline constexpr int kPhotonReceiveTimeoutMs = 4000;
inline constexpr int kPhotonSuggestionLimit = 5;
// Longer texts are no address; they are not sent (a service would refuse them anyway).
inline constexpr std::size_t kMaxAddressQueryChars = 300;

struct AddressPlace {
    double lat = 0;
    double lon = 0;
    std::string label;
};

struct AddressSearch {
    std::optional<AddressPlace> place;  // none: nothing was found
    std::string error;                  // Polish; set when the geocoder gave no usable answer
};

// origin: scheme and host of the Nominatim service. One retry, as every GET.
// A blank query finds nothing without asking; an overlong one is an error.
AddressSearch nominatimSearch(WfsClient& client, std::string_view origin, std::string_view query);

// origin: scheme and host of the Photon service. No retry; empty on any
// failure, a late answer included, and for a blank or overlong query.
std::vector<AddressPlace> photonSuggest(WfsClient& client, std::string_view origin, std::string_view query,
                                        int limit = kPhotonSuggestionLimit,
                                        int receiveTimeoutMs = kPhotonReceiveTimeoutMs);

// "name, street housenumber, city, county" from a Photon feature's
// properties, leaving out the parts it lacks.
std::string photonLabel(const nlohmann::json& properties);

}  // namespace kl::net
