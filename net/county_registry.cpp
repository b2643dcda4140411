#include "net/county_registry.h"

#include "shell/platform/diag_log.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace kl::net {
namespace {

constexpr const char* kDiagFile = "kartolink_registry_diag.txt";

std::size_t keyLength(Registry r) { return r == Registry::Mpzp ? 6 : 4; }

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isEndpoint(std::string_view s) {
    if (s.empty()) return true;
    const bool scheme = s.rfind("https://", 0) == 0 || s.rfind("http://", 0) == 0;
    const bool clean = std::none_of(s.begin(), s.end(), [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) || c == '?' || c == '#' || static_cast<unsigned char>(c) < 0x20;
    });
    return scheme && clean && s.size() > 8;
}

std::string_view trimLineEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.remove_suffix(1);
    return s;
}

std::string_view serviceKind(Registry r) {
    switch (r) {
        case Registry::Egib: return "EGiB";
        case Registry::Bdot500: return "BDOT500";
        case Registry::Gesut: return "GESUT";
        case Registry::Mpzp: return "MPZP";
    }
    return "";
}

const CountyService* findRow(Registry registry, std::string_view teryt) {
    const std::size_t n = keyLength(registry);
    if (teryt.size() < n) return nullptr;
    const std::string_view key = teryt.substr(0, n);
    for (const auto& row : registryRows(registry))
        if (row.teryt == key) return &row;
    return nullptr;
}

}  // namespace

RegistryTable parseRegistry(std::string_view text, std::size_t keyDigits) {
    RegistryTable table;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        std::string_view line = trimLineEnd(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        ++lineNo;
        if (line.empty() || line.front() == '#') continue;
        std::array<std::string_view, 3> cols{};
        std::size_t count = 0;
        while (count < 3) {
            const auto tab = line.find('\t');
            cols[count++] = line.substr(0, tab);
            if (tab == std::string_view::npos) {
                line = {};
                break;
            }
            line.remove_prefix(tab + 1);
        }
        const bool extra = !line.empty();
        const auto refuse = [&](const char* why) {
            table.problems.push_back("wiersz " + std::to_string(lineNo) + ": " + why);
        };
        if (extra) {
            refuse("za duzo kolumn");
            continue;
        }
        if (cols[0].size() != keyDigits || !allDigits(cols[0])) {
            refuse("nieprawidlowy kod TERYT");
            continue;
        }
        if (!isEndpoint(cols[1]) || !isEndpoint(cols[2])) {
            refuse("nieprawidlowy adres uslugi");
            continue;
        }
        if (!table.rows.empty() && table.rows.back().teryt >= cols[0]) {
            refuse("kody nie sa rosnace albo sie powtarzaja");
            continue;
        }
        table.rows.push_back({std::string(cols[0]), std::string(cols[1]), std::string(cols[2])});
    }
    return table;
}

RegistryTable loadRegistryTable(Registry registry, const std::string& overlayDir) {
    if (!overlayDir.empty()) {
        std::ifstream in(std::filesystem::path(overlayDir) / std::string(registryFileName(registry)), std::ios::binary);
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            return parseRegistry(text.str(), keyLength(registry));
        }
    }
    return parseRegistry(registryFileText(registry), keyLength(registry));
}

const std::vector<CountyService>& registryRows(Registry registry) {
    static std::once_flag once;
    static std::array<std::vector<CountyService>, 4> tables;
    std::call_once(once, [] {
        const char* overlay = std::getenv("KL_REGISTRY_DIR");
        for (Registry r : {Registry::Egib, Registry::Bdot500, Registry::Gesut, Registry::Mpzp}) {
            RegistryTable t = loadRegistryTable(r, overlay ? overlay : "");
            for (const auto& p : t.problems)
                kl::platform::appendDiagLine(kDiagFile, std::string(registryFileName(r)) + " " + p);
            tables[static_cast<std::size_t>(r)] = std::move(t.rows);
        }
    });
    return tables[static_cast<std::size_t>(registry)];
}

std::string egibWfsForTeryt(std::string_view teryt) {
    const CountyService* row = findRow(Registry::Egib, teryt);
    return row ? row->wfs : std::string();
}

CountyEndpoints countyServicesForTeryt(Registry registry, std::string_view teryt) {
    const CountyService* row = findRow(registry, teryt);
    return row ? CountyEndpoints{row->wms, row->wfs} : CountyEndpoints{};
}

ServiceLookup lookupService(Registry registry, std::string_view teryt, Endpoint wanted) {
    ServiceLookup out;
    const std::size_t n = keyLength(registry);
    out.key = std::string(teryt.substr(0, std::min(n, teryt.size())));
    const std::string unit = registry == Registry::Mpzp ? "gminy" : "powiatu";
    const std::string protocol = wanted == Endpoint::Wms ? "WMS" : "WFS";
    const std::string what = "Usluga " + protocol + " " + std::string(serviceKind(registry)) + " dla " + unit +
                             " (TERYT " + out.key + ")";
    const CountyService* row = findRow(registry, teryt);
    if (!row) {
        out.warning = what + " - brak takiego kodu w rejestrze uslug.";
        return out;
    }
    out.endpoints = {row->wms, row->wfs};
    const std::string& address = wanted == Endpoint::Wms ? row->wms : row->wfs;
    if (address.empty()) {
        out.status = LookupStatus::NotConfigured;
        out.warning = what + " nie jest skonfigurowana (brak adresu w rejestrze uslug).";
        return out;
    }
    out.status = LookupStatus::Found;
    return out;
}

}  // namespace kl::net
