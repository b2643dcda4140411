#include "net/county_registry.h"

#include "tests/net/fault_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace kl::net {
namespace {

TEST(CountyRegistry, ThreeCountyTablesShareTheSame380Keys) {
    const auto& egib = registryRows(Registry::Egib);
    const auto& bdot = registryRows(Registry::Bdot500);
    const auto& gesut = registryRows(Registry::Gesut);
    ASSERT_EQ(egib.size(), 380u);
    ASSERT_EQ(bdot.size(), 380u);
    ASSERT_EQ(gesut.size(), 380u);
    for (std::size_t i = 0; i < egib.size(); ++i) {
        EXPECT_EQ(egib[i].teryt, bdot[i].teryt);
        EXPECT_EQ(egib[i].teryt, gesut[i].teryt);
        // every cadastral row has its WFS address
        EXPECT_TRUE(egib[i].wfs.rfind("https://", 0) == 0 || egib[i].wfs.rfind("http://", 0) == 0) << egib[i].teryt;
        if (i > 0) {
            EXPECT_LT(egib[i - 1].teryt, egib[i].teryt);
        }
    }
}

TEST(CountyRegistry, CountiesPerVoivodeship) {
    std::map<std::string, int> perVoivodeship;
    for (const auto& row : registryRows(Registry::Egib)) ++perVoivodeship[row.teryt.substr(0, 2)];
    const std::map<std::string, int> expected = {{"02", 30}, {"04", 23}, {"06", 24}, {"08", 14}, {"10", 24},
                                                 {"12", 22}, {"14", 42}, {"16", 12}, {"18", 25}, {"20", 17},
                                                 {"22", 20}, {"24", 36}, {"26", 14}, {"28", 21}, {"30", 35},
                                                 {"32", 21}};
    EXPECT_EQ(perVoivodeship, expected);
    // Keys that are easy to get wrong: gaps and city counties.
    for (const char* key : {"0265", "1431", "1465", "2479", "3263"}) {
        const bool present = !countyServicesForTeryt(Registry::Egib, key).wfs.empty();
        EXPECT_EQ(present, std::string(key) != "1431") << key;
    }
}

TEST(CountyRegistry, CodesFindTheirCountyOrCommuneRowOrSayWhyNot) {
    EXPECT_EQ(egibWfsForTeryt("1465011"), "https://wms2.um.warszawa.pl/geoserver/wfs/wfs");
    EXPECT_EQ(egibWfsForTeryt("146501"), egibWfsForTeryt("1465"));
    for (const char* code : {"146", "", "9901"}) EXPECT_EQ(egibWfsForTeryt(code), "") << code;
    EXPECT_EQ(countyServicesForTeryt(Registry::Mpzp, "14650").wfs, "");
    const auto notConfigured = [](const char* what, const char* key) {
        return std::string("Usluga ") + what + " (TERYT " + key +
               ") nie jest skonfigurowana (brak adresu w rejestrze uslug).";
    };
    const struct {
        Registry registry;
        const char* teryt;
        Endpoint endpoint;
        LookupStatus status;
        const char* key;
        std::string warning;
    } cases[] = {
        {Registry::Egib, "1465011", Endpoint::Wfs, LookupStatus::Found, "1465", ""},
        {Registry::Bdot500, "1465011", Endpoint::Wfs, LookupStatus::NotConfigured, "1465",
         notConfigured("WFS BDOT500 dla powiatu", "1465")},
        {Registry::Gesut, "1465011", Endpoint::Wfs, LookupStatus::NotConfigured, "1465",
         notConfigured("WFS GESUT dla powiatu", "1465")},
        {Registry::Egib, "0201", Endpoint::Wfs, LookupStatus::Found, "0201", ""},
        {Registry::Gesut, "9901", Endpoint::Wms, LookupStatus::NotInRegistry, "",
         "Usluga WMS GESUT dla powiatu (TERYT 9901) - brak takiego kodu w rejestrze uslug."},
        // the commune registry is keyed by six digits
        {Registry::Mpzp, "1465011", Endpoint::Wms, LookupStatus::NotConfigured, "146501",
         notConfigured("WMS MPZP dla gminy", "146501")},
    };
    for (const auto& c : cases) {
        const ServiceLookup l = lookupService(c.registry, c.teryt, c.endpoint);
        EXPECT_EQ(l.status, c.status) << c.teryt << " " << c.key;
        EXPECT_TRUE(!*c.key || l.key == c.key) << l.key;
        EXPECT_EQ(l.warning, c.warning);
    }
    EXPECT_EQ(lookupService(Registry::Egib, "0201", Endpoint::Wfs).endpoints.wfs,
              "https://mapy.geoportal.gov.pl/wss/ext/PowiatoweBazyEwidencjiGruntow/0201");
    const auto& communes = registryRows(Registry::Mpzp);
    EXPECT_GT(communes.size(), 2400u);
    for (const auto& r : communes) ASSERT_EQ(r.teryt.size(), 6u);
}

TEST(RegistryParser, RefusesBadRowsAndKeepsTheRest) {
    const std::string text =
        "# comment\r\n"
        "# teryt\twms\twfs\n"
        "0201\thttps://a.example/wms\thttps://a.example/wfs\r\n"
        "0202\t\t\n"
        "0203\n"
        "020A\t\t\n"                              // not digits
        "0204\tjavascript:alert(1)\t\n"           // not an http(s) address
        "0205\t\thttps://b.example/wfs?x=1\n"     // a query belongs to the request, not the endpoint
        "0203\t\t\n"                              // out of order
        "0206\t\t\textra\n"
        "\n";
    const RegistryTable t = parseRegistry(text, 4);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].wms, "https://a.example/wms");
    EXPECT_EQ(t.rows[0].wfs, "https://a.example/wfs");
    EXPECT_EQ(t.rows[1].teryt, "0202");
    EXPECT_EQ(t.rows[2].teryt, "0203");
    EXPECT_EQ(t.problems.size(), 5u);
    EXPECT_EQ(t.problems[0], "wiersz 6: nieprawidlowy kod TERYT");
    EXPECT_TRUE(parseRegistry("", 4).rows.empty());
    EXPECT_TRUE(parseRegistry(std::string(5000, '\t'), 4).rows.empty());
}

TEST(UserRegistry, AUsableCopyReplacesTheBuiltInFileABrokenOneIsSetAsideAndSaid) {
    kl::test::TempCacheHome scratch;  // a fresh folder
    const std::string file = scratch.dir() + "/gesut.tsv";
    const std::string builtIn = " - uzyto rejestru wbudowanego w dodatek.";
    struct Case {
        const char* name;
        std::string text;  // "" = no file
        std::size_t rows;
        std::string warning;
    };
    const Case cases[] = {
        {"no copy", "", 380, ""},
        {"usable copy", "# demo\n0201\thttp://127.0.0.1:1/gesut\thttp://127.0.0.1:1/gesut\n", 1, ""},
        {"a bad key", "0201\t\t\n02X2\t\t\n", 380,
         "Plik rejestru uslug " + file + " jest uszkodzony (wiersz 2: nieprawidlowy kod TERYT)" + builtIn},
        {"four bad rows", "0201\tftp://x\t\n0201\t\t\n0202\t\t\tx\n1\n0201\t\t\n", 380,
         "Plik rejestru uslug " + file + " jest uszkodzony (wiersz 1: nieprawidlowy adres uslugi; wiersz 3: za duzo "
         "kolumn; wiersz 4: nieprawidlowy kod TERYT; ...)" + builtIn},
        {"comments only", "# nothing yet\n", 380, "Plik rejestru uslug " + file + " nie zawiera zadnego wiersza" + builtIn},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(file);
        if (!c.text.empty()) std::ofstream(file, std::ios::binary) << c.text;
        const RegistryTable t = loadRegistryTable(Registry::Gesut, scratch.dir());
        EXPECT_EQ(t.rows.size(), c.rows) << c.name;
        EXPECT_EQ(t.warning, c.warning) << c.name;
        // The other registries never read this file.
        EXPECT_EQ(loadRegistryTable(Registry::Egib, scratch.dir()).rows.size(), 380u) << c.name;
    }
}

TEST(UserRegistry, AChangedCopyIsReadAgainWithoutARestart) {
    kl::test::TempCacheHome scratch;
    const char* before = std::getenv("KL_REGISTRY_DIR");
    const std::string previous = before ? before : "";
    ::setenv("KL_REGISTRY_DIR", scratch.dir().c_str(), 1);
    const std::string file = scratch.dir() + "/bdot500.tsv";
    std::ofstream(file, std::ios::binary) << "0201\thttp://127.0.0.1:1/first\t\n";
    EXPECT_EQ(countyServicesForTeryt(Registry::Bdot500, "0201011").wms, "http://127.0.0.1:1/first");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "0201\thttp://127.0.0.1:1/second-address\t\n";
    EXPECT_EQ(countyServicesForTeryt(Registry::Bdot500, "0201011").wms, "http://127.0.0.1:1/second-address");
    EXPECT_EQ(registryWarning(Registry::Bdot500), "");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "0201\tnot an address\t\n";
    EXPECT_EQ(countyServicesForTeryt(Registry::Bdot500, "0201011").wms, "");
    EXPECT_NE(registryWarning(Registry::Bdot500), "");
    if (before) ::setenv("KL_REGISTRY_DIR", previous.c_str(), 1);
    else ::unsetenv("KL_REGISTRY_DIR");
}

}  // namespace
}  // namespace kl::net
