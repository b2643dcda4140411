#pragma once
// County (and commune) service registries: TERYT code -> WMS and WFS
// endpoints. The rows are configuration data kept in net/registry/*.tsv.
#include "net/registry_data.h"

#include <string>
#include <string_view>
#include <vector>

namespace kl::net {

struct CountyService {
    std::string teryt;  // four digits (six for the commune registry)
    std::string wms;    // full URL up to the query, may be empty
    std::string wfs;
};

struct CountyEndpoints {
    std::string wms;
    std::string wfs;
};

struct RegistryTable {
    std::vector<CountyService> rows;  // ascending by key
    std::vector<std::string> problems;  // rows that were refused, with line numbers
};

// Reads a registry text (tab-separated "key<TAB>wms<TAB>wfs", "#" comments).
// keyDigits is 4 for counties and 6 for communes. Rows with a bad key, a
// repeated key or an endpoint that is not an http(s) URL are refused.
RegistryTable parseRegistry(std::string_view text, std::size_t keyDigits);

// A registry table: the file of that name in overlayDir when there is one
// (a deployment's own addresses, or a demo's loopback ones), else the
// compiled-in file.
RegistryTable loadRegistryTable(Registry registry, const std::string& overlayDir);

// The registry in use, loaded on first use (overlay folder from the
// environment variable KL_REGISTRY_DIR).
const std::vector<CountyService>& registryRows(Registry registry);

// WFS endpoint of the county of a TERYT code (first four characters).
std::string egibWfsForTeryt(std::string_view teryt);

// Both endpoints from a registry: counties by the first four characters,
// communes (Registry::Mpzp) by the first six; both empty when not found.
CountyEndpoints countyServicesForTeryt(Registry registry, std::string_view teryt);

enum class LookupStatus {
    Found,          // the wanted endpoint is known
    NotConfigured,  // the row exists but holds no address for it
    NotInRegistry,  // no such row (or a code too short)
};

enum class Endpoint { Wms, Wfs };

struct ServiceLookup {
    LookupStatus status = LookupStatus::NotInRegistry;
    CountyEndpoints endpoints;
    std::string key;      // the county or commune key that was looked up
    std::string warning;  // Polish, empty when Found
};

// The lookup with a reason when the wanted endpoint is missing.
ServiceLookup lookupService(Registry registry, std::string_view teryt, Endpoint wanted);

}  // namespace kl::net
