// A place's services: the commune under a frame, from the national boundary
// service, and the county and commune registries that name the services of
// a code.
#include "net/commune_resolver.h"
#include "net/county_registry.h"

#include "geodata/gml_parser.h"
#include "tests/geodata/sample_files.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace kl::net {
namespace {

namespace demo = kl::geoportal::demo;

std::vector<geo::Point2d> squareRing(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

// The demo town commune is a ring of about 2.6 km around its centre, the rural
// commune a ring of about 11 km around it.
geo::Bbox frameAround(double x, double y) { return {x - 300, y - 200, x + 300, y + 200}; }
constexpr double kTownE = 260761, kTownN = 382901;

class Resolver : public kl::test::GeoportalSuite {
protected:
    static int requests() { return static_cast<int>(server_->log().snapshot().size()); }
    kl::test::TempCacheHome home;
    WfsClient client{kl::test::loopbackTimings(), hosts()};
};

TEST_F(Resolver, ReusesTheCodeOnlyInsideTheHeldCommune) {
    CommuneResolver resolver(server_->baseUrl() + "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE, kTownN)), demo::kCommuneTeryt);
    // 1.5 km away, still in the same commune: no request.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE + 1500, kTownN)), demo::kCommuneTeryt);
    EXPECT_EQ(requests(), 1);
    // 5 km away, across the border: asked again, and the neighbour is found.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE + 5000, kTownN)), demo::kRuralCommuneTeryt);
    EXPECT_EQ(requests(), 2);
    // 30 km away, outside both: asked again, nothing found, the old code is not given out.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE + 30000, kTownN)), "");
    EXPECT_EQ(resolver.lastError(), "");  // the service answered: no commune there
}

TEST(ResolverLayer, OtherLayerNameIsDiscoveredOnceFromTheCapabilities) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    WfsClient client{kl::test::loopbackTimings(), server.hosts()};
    std::vector<std::string> asked;
    server.on("/prg", [&](const httplib::Request& rq, httplib::Response& rs) {
        asked.push_back(rq.get_param_value("request") + " " + rq.get_param_value("version"));
        if (rq.get_param_value("request") == "GetCapabilities")
            rs.set_content("<WFS_Capabilities><FeatureTypeList><FeatureType><Name>ms:A01_Granice_wojewodztw</Name>"
                           "</FeatureType><FeatureType><Name>ms:PRG_Granice_gmin_2024</Name></FeatureType>"
                           "</FeatureTypeList></WFS_Capabilities>", "text/xml");
        else if (rq.get_param_value("typenames") == "ms:PRG_Granice_gmin_2024")
            rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" xmlns:ms=\"m\">"
                           "<wfs:member><ms:g><ms:JPT_KOD_JE>1465011</ms:JPT_KOD_JE></ms:g></wfs:member>"
                           "</wfs:FeatureCollection>", "text/xml");
        else
            rs.status = 400;
    });
    CommuneResolver resolver(server.url("/prg"));
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(632000, 485000)), "1465011");
    EXPECT_EQ(resolver.layerName(), "ms:PRG_Granice_gmin_2024");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1], "GetCapabilities 2.0.0");
}

TEST_F(Resolver, UnreachableServiceHoldsNothingAndReadsTheLayerListOnlyOnce) {
    server_->faults().add({{geoportal::FaultKind::Status, 503}, "/wss/service/PZGIK/PRG", "", -1});
    CommuneResolver resolver(server_->baseUrl() + "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE, kTownN)), "");
    EXPECT_FALSE(resolver.holdsResult());
    EXPECT_EQ(resolver.lastError(), "Serwer zwrocil status 503");
    EXPECT_EQ(requests(), 4);  // point query and capabilities, each retried once
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE, kTownN)), "");
    EXPECT_EQ(requests(), 6);  // only the point query again
}

TEST(CommuneAnswer, CountyCodesOfARealAnswerAreNotCommuneCodes) {
    geo::GmlParseOptions o;
    o.keepFeaturesWithoutGeometry = true;
    const auto parsed = geo::GmlParser::parse(geo::testing::readSample("polish_wfs/kartograf__prg_two_counties.xml"),
                                              geo::DataType::Parcels, o);
    ASSERT_EQ(parsed.features.size(), 2u);
    EXPECT_EQ(communeFromBoundaryAnswer(parsed.features, {0, 0}).teryt, "");
}

TEST(CommuneAnswer, PicksTheQualifyingAttributeAndTheContainingFeature) {
    geo::GisFeature a;
    a.attributes = {{"JPT_KOD_JE", "14650"}, {"kod_gminy", "1465011"}};
    a.polygons.push_back({squareRing(0, 0, 10), {}});
    geo::GisFeature b;
    b.attributes = {{"TERYT", "1465022"}};
    b.polygons.push_back({squareRing(10, 0, 10), {}});
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {5, 5}).teryt, "1465011");
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {15, 5}).teryt, "1465022");
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {50, 50}).teryt, "1465011");  // none contains it: the first
    geo::GisFeature letters;
    letters.attributes = {{"teryt", "14650a1"}};
    EXPECT_EQ(communeFromBoundaryAnswer({letters}, {0, 0}).teryt, "");
}

TEST(CommuneLayer, BestScoringNameWins) {
    EXPECT_EQ(communeLayerFromCapabilities("<Name>ms:gminy</Name><Name>ms:Granice_gmin</Name>"), "ms:Granice_gmin");
    EXPECT_EQ(communeLayerFromCapabilities("<Name>ms:gminy</Name><Name>ms:obrony_gmin_granice</Name>"), "ms:gminy");
    EXPECT_EQ(communeLayerFromCapabilities("<Name>gmi</Name><Name>powiaty</Name>"), "");
}

// The three county tables share one sorted key list: Poland's 380 counties,
// as many per voivodeship as there are, with its gaps and city counties.
TEST(CountyRegistry, ThreeCountyTablesShareThe380CountiesOfPoland) {
    const auto& egib = registryRows(Registry::Egib);
    ASSERT_EQ(egib.size(), 380u);
    for (Registry r : {Registry::Bdot500, Registry::Gesut}) ASSERT_EQ(registryRows(r).size(), 380u);
    std::map<std::string, int> perVoivodeship;
    for (std::size_t i = 0; i < egib.size(); ++i) {
        EXPECT_EQ(registryRows(Registry::Bdot500).at(i).teryt, egib[i].teryt);
        EXPECT_EQ(registryRows(Registry::Gesut).at(i).teryt, egib[i].teryt);
        EXPECT_TRUE(egib[i].wfs.rfind("https://", 0) == 0 || egib[i].wfs.rfind("http://", 0) == 0) << egib[i].teryt;
        EXPECT_TRUE(i == 0 || egib[i - 1].teryt < egib[i].teryt) << egib[i].teryt;
        ++perVoivodeship[egib[i].teryt.substr(0, 2)];
    }
    const std::map<std::string, int> expected = {{"02", 30}, {"04", 23}, {"06", 24}, {"08", 14}, {"10", 24},
                                                 {"12", 22}, {"14", 42}, {"16", 12}, {"18", 25}, {"20", 17},
                                                 {"22", 20}, {"24", 36}, {"26", 14}, {"28", 21}, {"30", 35},
                                                 {"32", 21}};
    EXPECT_EQ(perVoivodeship, expected);
    for (const char* key : {"0265", "1431", "1465", "2479", "3263"})
        EXPECT_EQ(countyServicesForTeryt(Registry::Egib, key).wfs.empty(), std::string(key) == "1431") << key;
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
}

// A copy changed while the add-on runs, and one bad key, are the import
// flow's (its registry copies are rewritten between fetches).
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

}  // namespace
}  // namespace kl::net
