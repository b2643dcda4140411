#pragma once
// Where the national services live. The real public hosts are the defaults;
// the override origin of the service hosts the client was given (e.g.
// "http://127.0.0.1:8080") sends every request of the add-on, national and
// county alike, to that origin instead, keeping the path and query. The demo
// and the tests use it to stay on a loopback server.
#include <string>
#include <string_view>

#include "base/service_hosts.h"

namespace kl::net {

inline constexpr std::string_view kGeoportalHost = "https://mapy.geoportal.gov.pl";
inline constexpr std::string_view kCadastreIntegrationHost = "https://integracja.gugik.gov.pl";

inline constexpr std::string_view kAdministrativeBoundariesWfsPath = "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries";
inline constexpr std::string_view kBdot10kNewBuildingsWfsPath = "/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki";
inline constexpr std::string_view kOrthophotoWmsPath = "/wss/service/PZGIK/ORTO/WMS/StandardResolution";
inline constexpr std::string_view kCadastreIntegrationWmsPath = "/cgi-bin/KrajowaIntegracjaEwidencjiGruntow";
// National integrations of the county and commune map services.
inline constexpr std::string_view kUtilitiesIntegrationWmsPath = "/cgi-bin/KrajowaIntegracjaUzbrojeniaTerenu";
inline constexpr std::string_view kTopographyIntegrationWmsPath =
    "/cgi-bin/KrajowaIntegracjaBazDanychObiektowTopograficznych";
inline constexpr std::string_view kLocalPlansIntegrationWmsPath =
    "/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego";
// OpenStreetMap's public Overpass interpreter; the override routes it like the rest.
inline constexpr std::string_view kOverpassInterpreterUrl = "https://overpass-api.de/api/interpreter";

// A URL of a national service: the geoportal host (or the override) + path.
std::string nationalServiceUrl(const settings::ServiceHosts& hosts, std::string_view path);

// The URL as it will really be requested: with an override the scheme, host
// and port are replaced by the override origin.
std::string routeThroughOverride(const settings::ServiceHosts& hosts, std::string_view url);

// The name an answer is cached under. Answers of the override are keyed by a
// fixed name and the path: the demo's local geoportal listens on a new port in
// every run, and a port in the key would fill the cache again each time. They
// never share a key with a real service.
std::string cacheKeyOf(const settings::ServiceHosts& hosts, std::string_view url);

}  // namespace kl::net
