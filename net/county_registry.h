#pragma once
// County (and commune) service registries: TERYT code -> WMS and WFS
// endpoints. The rows are configuration data kept in net/registry/*.tsv and
// compiled in; a user copy of a file replaces the built-in one without a new
// build, and is read again whenever it changes.
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
    std::string warning;  // Polish: a user copy was unusable and the built-in file is used
};

// Reads a registry text (tab-separated "key<TAB>wms<TAB>wfs", "#" comments).
// keyDigits is 4 for counties and 6 for communes. Rows with a bad key, a
// repeated key or an endpoint that is not an http(s) URL are refused.
RegistryTable parseRegistry(std::string_view text, std::size_t keyDigits);

// A registry table: the user's file of that name in userDir when there is
// one (their own addresses, or a demo's loopback ones), else the compiled-in
// file. A user file that cannot be read, holds no row or refuses any row is
// set aside whole, with a warning: half a file would lose addresses unseen.
RegistryTable loadRegistryTable(Registry registry, const std::string& userDir);

// Where the user's registry files are looked for: the folder named by the
// environment variable KL_REGISTRY_DIR, else <roaming app data>/KARTOLINK/rejestry.
std::string userRegistryDir();

// The registry in use (a snapshot: the user's file is read again when it changes).
std::vector<CountyService> registryRows(Registry registry);

// Why the user's copy of a registry is not used, or empty.
std::string registryWarning(Registry registry);

// The national integration WMS that aggregates the counties' (or communes')
// data of a registry, for units without an address of their own; empty for
// the cadastre, which has no such map fallback here.
struct NationalFallback {
    std::string url;
    std::string name;  // the service's name, for warnings
};
NationalFallback nationalFallbackWms(Registry registry);

// WFS endpoint of the county of a TERYT code (first four characters).
std::string egibWfsForTeryt(std::string_view teryt);

// Both endpoints from a registry: counties by the first four characters,
// communes (Registry::Mpzp) by the first six; both empty when not found.
CountyEndpoints countyServicesForTeryt(Registry registry, std::string_view teryt);

}  // namespace kl::net
