#pragma once
// The web services the add-on and its pages draw from, by host. Paths and query keys belong
// to the code that builds each request; only the scheme and host (with an
// optional port) are configuration, so a test can point every one of them at
// a loopback fixture server. One value, read from the environment once where
// the add-on or a tool starts and handed to every client that sends requests.
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kl::settings {

struct ServiceHosts {
    std::string orto = "https://mapy.geoportal.gov.pl";       // orthophoto WMS
    std::string egib = "https://integracja.gugik.gov.pl";     // cadastre integration WMS
    std::string prg = "https://mapy.geoportal.gov.pl";        // administrative boundaries WMS
    std::string mpzp = "https://mapy.geoportal.gov.pl";       // local plan coverage preview
    std::string pog = "https://mapy.geoportal.gov.pl";        // general plan coverage preview
    std::string ofm = "https://tiles.openfreemap.org";        // vector base-map style
    std::string nominatim = "https://nominatim.openstreetmap.org";  // address search
    std::string photon = "https://photon.komoot.io";                // address suggestions
    // Empty: each request goes to the host its URL names. Otherwise every
    // request of the add-on, national, county and OpenStreetMap alike, goes
    // to this origin instead, with its path and query kept.
    std::string overrideOrigin;
};

// Environment variable that, when it holds an http(s) origin such as
// "http://127.0.0.1:8080", replaces every host above, for the pages and for
// every request of the add-on alike.
inline constexpr const char* kServiceHostsOverrideVar = "KL_SERVICE_HOSTS";
// The same origin under the name older scripts set; the first wins.
inline constexpr const char* kServiceBaseOverrideVar = "KL_SERVICE_BASE";

// Accepts "http://" or "https://" followed by a host and an optional port, with
// no path, query, user part or whitespace.
bool isServiceOrigin(std::string_view text) noexcept;

// The one reading of the environment: the origin of the first variable above
// that holds one, without a trailing slash; "" when neither does.
std::string serviceOriginFromEnvironment();

// The defaults, or every host at overrideOrigin when it is a service origin.
ServiceHosts serviceHostsWithOverride(std::string_view overrideOrigin);
// The defaults, or all hosts at the origin the environment names.
ServiceHosts configuredServiceHosts();

// The form the pages receive: {"orto": origin, "egib": ..., ...}. The
// geocoders are asked by the add-on, not by the pages, and are left out.
nlohmann::json serviceHostsJson(const ServiceHosts& hosts);

}  // namespace kl::settings
