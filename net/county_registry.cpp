#include "net/county_registry.h"

#include "net/service_hosts.h"
#include "net/url_text.h"
#include "base/diag_log.h"
#include "base/folders.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <mutex>
#include <sstream>

namespace kl::net {
namespace {

constexpr const char* kDiagFile = "kartolink_registry_diag.txt";

std::size_t keyLength(Registry r) { return r == Registry::Mpzp ? 6 : 4; }

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

// What identifies one state of a user's file: a changed file is read again.
struct FileStamp {
    bool exists = false;
    std::filesystem::file_time_type written{};
    std::uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::filesystem::path& file) {
    std::error_code ec;
    FileStamp s;
    s.exists = std::filesystem::is_regular_file(file, ec);
    if (!s.exists) return s;
    s.written = std::filesystem::last_write_time(file, ec);
    s.size = std::filesystem::file_size(file, ec);
    return s;
}

struct LoadedRegistry {
    std::string dir;
    FileStamp stamp;
    std::shared_ptr<const RegistryTable> table;
};

std::shared_ptr<const RegistryTable> currentTable(Registry registry) {
    static std::mutex mutex;
    static std::array<LoadedRegistry, 4> loaded;
    const std::string dir = userRegistryDir();
    const FileStamp stamp = stampOf(std::filesystem::path(dir) / std::string(registryFileName(registry)));
    std::lock_guard lock(mutex);
    LoadedRegistry& slot = loaded[static_cast<std::size_t>(registry)];
    if (!slot.table || slot.dir != dir || !(slot.stamp == stamp)) {
        RegistryTable t = loadRegistryTable(registry, dir);
        for (const auto& p : t.problems)
            kl::platform::appendDiagLine(kDiagFile, std::string(registryFileName(registry)) + " " + p);
        slot = {dir, stamp, std::make_shared<const RegistryTable>(std::move(t))};
    }
    return slot.table;
}

std::optional<CountyService> findRow(Registry registry, std::string_view teryt) {
    const std::size_t n = keyLength(registry);
    if (teryt.size() < n) return std::nullopt;
    const std::string_view key = teryt.substr(0, n);
    const auto table = currentTable(registry);
    const auto it = std::lower_bound(table->rows.begin(), table->rows.end(), key,
                                     [](const CountyService& row, std::string_view k) { return row.teryt < k; });
    if (it == table->rows.end() || it->teryt != key) return std::nullopt;
    return *it;
}

// The first refused rows, enough to find them in the file.
std::string firstProblems(const std::vector<std::string>& problems) {
    std::string out;
    for (std::size_t i = 0; i < problems.size() && i < 3; ++i) out += (i ? "; " : "") + problems[i];
    if (problems.size() > 3) out += "; ...";
    return out;
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
        if (cols[0].size() != keyDigits || !isDigitsOnly(cols[0])) {
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

RegistryTable loadRegistryTable(Registry registry, const std::string& userDir) {
    RegistryTable builtIn = parseRegistry(registryFileText(registry), keyLength(registry));
    if (userDir.empty()) return builtIn;
    const std::filesystem::path file = std::filesystem::path(userDir) / std::string(registryFileName(registry));
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return builtIn;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    if (in) text << in.rdbuf();
    const std::string fallback = " - uzyto rejestru wbudowanego w dodatek.";
    if (!in || in.bad()) {
        builtIn.warning = "Nie mozna odczytac pliku rejestru uslug " + file.string() + fallback;
        return builtIn;
    }
    RegistryTable user = parseRegistry(text.str(), keyLength(registry));
    if (!user.problems.empty()) {
        builtIn.warning = "Plik rejestru uslug " + file.string() + " jest uszkodzony (" + firstProblems(user.problems) +
                          ")" + fallback;
        builtIn.problems = std::move(user.problems);
        return builtIn;
    }
    if (user.rows.empty()) {
        builtIn.warning = "Plik rejestru uslug " + file.string() + " nie zawiera zadnego wiersza" + fallback;
        return builtIn;
    }
    return user;
}

std::string userRegistryDir() {
    const char* dir = std::getenv("KL_REGISTRY_DIR");
    if (dir && *dir) return dir;
    return (kl::platform::roamingAppDataDir() / "KARTOLINK" / "rejestry").string();
}

std::vector<CountyService> registryRows(Registry registry) { return currentTable(registry)->rows; }

std::string registryWarning(Registry registry) { return currentTable(registry)->warning; }

NationalFallback nationalFallbackWms(Registry registry) {
    const auto at = [](std::string_view host, std::string_view path) {
        return NationalFallback{std::string(host) + std::string(path), std::string(path.substr(path.rfind('/') + 1))};
    };
    switch (registry) {
        case Registry::Gesut: return at(kCadastreIntegrationHost, kUtilitiesIntegrationWmsPath);
        case Registry::Bdot500: return at(kCadastreIntegrationHost, kTopographyIntegrationWmsPath);
        case Registry::Mpzp: return at(kGeoportalHost, kLocalPlansIntegrationWmsPath);
        case Registry::Egib: break;
    }
    return {};
}

std::string egibWfsForTeryt(std::string_view teryt) {
    const auto row = findRow(Registry::Egib, teryt);
    return row ? row->wfs : std::string();
}

CountyEndpoints countyServicesForTeryt(Registry registry, std::string_view teryt) {
    const auto row = findRow(registry, teryt);
    return row ? CountyEndpoints{row->wms, row->wfs} : CountyEndpoints{};
}

}  // namespace kl::net
