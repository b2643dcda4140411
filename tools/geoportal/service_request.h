#pragma once
// One request as the services see it, independent of the HTTP library.

#include "tools/geoportal/demo_area.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kl::geoportal {

struct Reply {
    int status = 200;
    std::string contentType = "text/xml; charset=UTF-8";
    std::string body;
    bool anyOrigin = false;  // readable by scripts of any origin (a map page's style fetch)
};

// The HTML 404 page of a download path that names no file.
Reply notFoundReply();

// Server-wide behaviour switches, set on the command line or at /__config.
struct ServiceConfig {
    long long maxFeatures = 5000;  // a server cap below the client's COUNT forces paging
    bool matchedUnknown = false;   // answer numberMatched="unknown" like some MapServer set-ups
    // LiDAR index and tiles: sheet edge (m), point density (per m2), the one
    // yearly layer with tiles, the layer that answers 500 (0: none), tile cache.
    double lidarSheetMetres = demo::kLidarSheetMetres;
    double lidarDensity = demo::kLidarDensity;
    int lidarYear = demo::kLidarYear;
    int lidarErrorYear = demo::kLidarErrorYear;
    std::string lidarCacheDir;  // empty: a folder under the system's temporary directory
};

struct ServiceRequest {
    std::string method = "GET";
    std::string body;     // of a POST
    std::string path;     // without the profile prefix
    std::string profile;  // "", "xy", "wfs11", "nostart", "nopaging", "pl2000" or "freshids" (see the README)
    std::vector<std::pair<std::string, std::string>> params;  // as received
    std::string selfUrl;  // scheme, host and full path, for paging links
    ServiceConfig config;

    // Query parameter by case-insensitive key; empty when absent.
    std::string param(std::string_view key) const;
    bool has(std::string_view key) const;
    // "http://127.0.0.1:PORT" of the address the request came to.
    std::string serverBase() const;
    // The same request with one parameter replaced (or added).
    std::string urlWith(std::string_view key, std::string_view value) const;
};

}  // namespace kl::geoportal
