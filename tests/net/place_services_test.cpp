// A place's services: the commune under a frame, the county and commune
// registries, and the planning register client.
#include "net/commune_resolver.h"
#include "net/county_registry.h"
#include "net/planning_register.h"

#include "tests/geodata/sample_files.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace kl::net {
namespace {

namespace demo = kl::geoportal::demo;

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

TEST_F(Resolver, ReusesTheCodeOnlyInsideTheHeldCommuneAndFindsAnotherLayerName) {
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
    // A service whose commune layer has another name: it is found once, from the capabilities.
    kl::test::FaultServer server;
    WfsClient direct{kl::test::loopbackTimings(), server.hosts()};
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
    CommuneResolver layered(server.url("/prg"));
    EXPECT_EQ(layered.resolveCommuneTeryt(direct, frameAround(632000, 485000)), "1465011");
    EXPECT_EQ(layered.layerName(), "ms:PRG_Granice_gmin_2024");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1], "GetCapabilities 2.0.0");
}

// The three county tables share one sorted key list: Poland's 380 counties,
// as many per voivodeship as there are, with its gaps and city counties. A
// commune's code finds its county; the commune registry's keys have six digits.
TEST(CountyRegistry, ThreeCountyTablesShareThe380CountiesOfPolandAndAUserCopyReplacesOne) {
    const auto& egib = registryRows(Registry::Egib);
    ASSERT_EQ(egib.size(), 380u);
    std::map<std::string, int> perVoivodeship;
    for (std::size_t i = 0; i < egib.size(); ++i) {
        EXPECT_EQ(registryRows(Registry::Bdot500).at(i).teryt, egib[i].teryt);
        EXPECT_EQ(registryRows(Registry::Gesut).at(i).teryt, egib[i].teryt);
        ++perVoivodeship[egib[i].teryt.substr(0, 2)];
    }
    const std::map<std::string, int> expected = {{"02", 30}, {"04", 23}, {"06", 24}, {"08", 14}, {"10", 24},
                                                 {"12", 22}, {"14", 42}, {"16", 12}, {"18", 25}, {"20", 17},
                                                 {"22", 20}, {"24", 36}, {"26", 14}, {"28", 21}, {"30", 35},
                                                 {"32", 21}};
    EXPECT_EQ(perVoivodeship, expected);
    for (const char* key : {"0265", "1431", "1465", "2479", "3263"})
        EXPECT_EQ(countyServicesForTeryt(Registry::Egib, key).wfs.empty(), std::string(key) == "1431") << key;
    EXPECT_EQ(egibWfsForTeryt("1465011"), "https://wms2.um.warszawa.pl/geoserver/wfs/wfs");
    for (const char* code : {"146", "", "9901"}) EXPECT_EQ(egibWfsForTeryt(code), "") << code;
    const auto& communes = registryRows(Registry::Mpzp);
    EXPECT_GT(communes.size(), 2400u);
    for (const auto& r : communes) ASSERT_EQ(r.teryt.size(), 6u);
    // A usable user copy replaces the built-in file, a broken one is set aside and said (a copy changed
    // while the add-on runs, and one bad key, are the import flow's).
    kl::test::TempCacheHome scratch;  // a fresh folder
    const std::string file = scratch.dir() + "/gesut.tsv";
    const std::string builtIn = " - uzyto rejestru wbudowanego w dodatek.";
    const struct {
        const char* name;
        std::string text;  // "" = no file
        std::size_t rows;
        std::string warning;
    } cases[] = {
        {"no copy", "", 380, ""},
        {"usable copy", "# demo\r\n0201\thttp://127.0.0.1:1/gesut\thttp://127.0.0.1:1/gesut\r\n", 1, ""},
        {"order, a query and letters", "0202\t\t\n0201\t\t\n0203\t\thttps://b.example/wfs?x=1\n020A\t\t\n", 380,
         "Plik rejestru uslug " + file + " jest uszkodzony (wiersz 2: kody nie sa rosnace albo sie powtarzaja; wiersz 3: "
         "nieprawidlowy adres uslugi; wiersz 4: nieprawidlowy kod TERYT)" + builtIn},
        {"four bad rows", "0201\tftp://x\t\n0201\t\t\n0202\t\t\tx\n1\n0201\t\t\n", 380,
         "Plik rejestru uslug " + file + " jest uszkodzony (wiersz 1: nieprawidlowy adres uslugi; wiersz 3: za duzo "
         "kolumn; wiersz 4: nieprawidlowy kod TERYT; ...)" + builtIn},
        {"comments only", "# nothing yet\n", 380, "Plik rejestru uslug " + file + " nie zawiera zadnego wiersza" + builtIn},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(file);
        if (!c.text.empty()) std::ofstream(file, std::ios::binary) << c.text;
        const RegistryTable t = loadRegistryTable(Registry::Gesut, scratch.dir());
        EXPECT_EQ(t.rows.size(), c.rows) << c.name;
        EXPECT_EQ(t.warning, c.warning) << c.name;
        EXPECT_TRUE(c.rows != 1 || t.rows[0].wfs == "http://127.0.0.1:1/gesut") << c.name;
        // The other registries never read this file.
        EXPECT_EQ(loadRegistryTable(Registry::Egib, scratch.dir()).rows.size(), 380u) << c.name;
    }
}

using nlohmann::json;

constexpr const char* kQuery = "/api/public/published/query";

json act(long long id, const std::string& type, const std::string& status, const std::string& date) {
    return {{"publishedActId", id}, {"title", "akt"}, {"planType", type}, {"spatialPlanningActStatus", status},
            {"publishDate", date}, {"tercCode", "0201011"}};
}
std::string actsAnswer(const std::vector<json>& acts) { return json{{"publishedActs", acts}}.dump(); }

const json kGeneralInForce = act(5001, "MUNICIPAL_GENERAL_PLAN", "prawnie wiążący lub realizowany", "2025-06-30");

// Against a loopback server that answers the register's paths; the pauses
// between attempts are recorded, never slept.
class RegisterClient : public ::testing::Test {
protected:
    test::FaultServer server;
    WfsClient client{test::loopbackTimings(), server.hosts()};
    std::vector<int> waits;
    RegisterWait record = [this](int ms) { waits.push_back(ms); };
};

TEST_F(RegisterClient, QueryIsTriedThreeTimesWithGrowingPausesAndBadAnswersGiveNoActs) {
    const std::string tenMegabytes = "{\"publishedActs\":[],\"pad\":\"" + std::string(10 * 1024 * 1024, 'x') + "\"}";
    const std::string oddEntries = "{\"publishedActs\":[1,\"x\",null,{\"publishedActId\":12,\"title\":null,"
                                   "\"planType\":\"MUNICIPAL_GENERAL_PLAN\",\"spatialPlanningActStatus\":5,"
                                   "\"publishDate\":[]},{\"publishedActId\":\"77\"}]}";
    const struct {
        const char* name;
        test::FaultServer::Answers replies;
        int requests;
        std::vector<int> waits;
        std::size_t acts;
        int refused;
        std::string error;
        std::string firstAct = {};  // id|title|type|status|date of the first act
    } cases[] = {
        {"first answer good", {{200, actsAnswer({kGeneralInForce})}}, 1, {}, 1, 0, ""},
        {"500 then good", {{500, "x"}, {200, actsAnswer({kGeneralInForce})}}, 2, {350}, 1, 0, ""},
        {"never the list", {{200, "{\"acts\":[],\"total\":0}"}}, 3, {350, 900}, 0, 0, "odpowiedz bez listy aktow"},
        {"10 MB answer", {{200, tenMegabytes}}, 3, {350, 900}, 0, 0, "odpowiedz zbyt duza (10,0 MB)"},
        {"cut JSON", {{200, "{\"publishedActs\":[{\"publishedActId\":1"}}, 1, {}, 0, 0,
         "odpowiedz Rejestru Urbanistycznego nie jest lista aktow"},
        {"entries of the wrong types", {{200, oddEntries}}, 1, {}, 2, 3, "", "12||MUNICIPAL_GENERAL_PLAN|5|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.answers(kQuery, c.replies);
        waits.clear();
        const int before = server.hits(kQuery);
        RegisterQuery q;
        q.teryt = "0201011";
        const ActsPage page = queryPublishedActs(client, q, record);
        EXPECT_EQ(server.hits(kQuery) - before, c.requests);
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(std::make_tuple(page.acts.size(), page.refusedEntries, page.error),
                  std::make_tuple(c.acts, c.refused, c.error));
        if (!c.firstAct.empty() && !page.acts.empty()) {
            const PublishedAct& a = page.acts[0];
            EXPECT_EQ(a.id + "|" + a.title + "|" + a.planType + "|" + a.status + "|" + a.publishDate, c.firstAct);
        }
    }
}

TEST_F(RegisterClient, GeneralPlansArePagedUntilAPageIsNotFull) {
    // A register that ignores the plan type: ten newer local plans fill the
    // first page, the general plan is on the second.
    std::vector<json> locals;
    for (int i = 0; i < 10; ++i)
        locals.push_back(act(6001 + i, "LOCAL_SPATIAL_DEVELOPMENT_PLAN", "prawnie wiążący lub realizowany", "2026-07-01"));
    server.answers(kQuery, {{200, actsAnswer(locals)}, {200, actsAnswer({kGeneralInForce})}});
    EXPECT_EQ(queryGeneralPlans(client, "0201011", record).acts.size(), 11u);
    const std::vector<std::string> bodies = server.bodies(kQuery);
    ASSERT_EQ(bodies.size(), 2u);
    for (int page = 1; page <= 2; ++page) {
        const json body = json::parse(bodies[static_cast<std::size_t>(page - 1)]);
        EXPECT_EQ(body["criteria"]["planTypeList"], json::array({"MUNICIPAL_GENERAL_PLAN"}));
        EXPECT_EQ(body["page"]["number"], page);
    }
}

TEST(RegisterActs, QueryBodyIsCompactWithSortedKeysAndInForceActsWinLatestFirstExpiredNever) {
    // Both plan types by default; the general-plan-only list and the page number
    // are the paging test's.
    RegisterQuery parcel;
    parcel.parcel = "020101_1.0009.522";
    EXPECT_EQ(registerQueryBody(parcel),
              R"({"criteria":{"levelList":[],"parcelIdentifier":"020101_1.0009.522","planTypeList":)"
              R"(["MUNICIPAL_GENERAL_PLAN","LOCAL_SPATIAL_DEVELOPMENT_PLAN"],"planValidFrom":null,)"
              R"("planValidTo":null,"plansGroup":"ALL","publishDateFrom":null,"publishDateTo":null,)"
              R"("publishedActVersions":"CURRENT","query":null,"statusList":[],"tercCodeList":null},)"
              R"("page":{"number":1,"size":10,"sort":{"direction":"desc","sortBy":"publishDate"}}})");
    const std::string general(kGeneralPlanType), inForce = "prawnie wiążący lub realizowany";
    const std::string prepared = "w opracowaniu", adopted = "w trakcie przyjmowania";
    const auto a = [&](const char* id, const std::string& status, const char* date, std::string type = {}) {
        return PublishedAct{id, "", type.empty() ? general : type, status, date, "0201011"};
    };
    const struct {
        const char* name;
        std::vector<PublishedAct> acts;
        const char* chosen;  // "" = none
    } cases[] = {
        {"older in force beats newer prepared", {a("1", prepared, "2026-01-01"), a("2", inForce, "2025-01-01")}, "2"},
        {"later of two in force", {a("1", inForce, "2024-01-01"), a("2", inForce, "2025-01-01")}, "2"},
        {"tie keeps the first", {a("1", inForce, "2025-01-01"), a("2", inForce, "2025-01-01")}, "1"},
        // "nieobowiązujący" holds the letters "wi" that a substring test took for "in force".
        {"expired never wins", {a("1", "nieobowiązujący", "2026-05-10"), a("2", adopted, "2025-01-01")}, "2"},
        {"adopted before prepared", {a("1", prepared, "2026-01-01"), a("2", adopted, "2025-01-01")}, "2"},
        {"only expired ones", {a("1", "nieobowiązujący", "2026-05-10"), a("2", "nieaktualny", "2026-06-01")}, ""},
        {"an unknown status as the last resort", {a("1", "nieaktualny", "2026-06-01"), a("2", "", "2020-01-01")}, "2"},
        {"only local plans", {a("1", inForce, "2026-01-01", std::string(kLocalPlanType))}, ""},
    };
    for (const auto& c : cases) {
        const auto chosen = selectAct(c.acts, kGeneralPlanType);
        EXPECT_EQ(chosen ? chosen->id : std::string(), c.chosen) << c.name;
    }
}

TEST_F(RegisterClient, OnlyDigitIdsAreAskedForAndTheDownloadMustBeGml) {
    const std::string zones = "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
                              "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:app=\"urn:app\"><wfs:member>"
                              "<app:StrefaPlanistyczna gml:id=\"s1\"><app:symbol>SW</app:symbol><app:geometria>"
                              "<gml:Polygon srsName=\"EPSG:2180\"><gml:exterior><gml:LinearRing><gml:posList>"
                              "100 200 100 300 200 300 100 200</gml:posList></gml:LinearRing></gml:exterior>"
                              "</gml:Polygon></app:geometria></app:StrefaPlanistyczna></wfs:member>"
                              "</wfs:FeatureCollection>";
    const struct {
        const char* name;
        std::string id;
        test::FaultServer::Answers replies;
        int requests;
        std::size_t features;
        std::string errorStart;
    } cases[] = {
        {"path in the id", "12/../../admin", {{200, zones}}, 0, 0, "Rejestr podal nieprawidlowy identyfikator aktu"},
        {"cut GML", "5004", {{200, zones.substr(0, zones.size() / 2)}}, 3, 0, "Odpowiedz serwera urwana"},
        {"maintenance page once", "5005", {{200, "<!DOCTYPE html><html><body>Przerwa</body></html>"}, {200, zones}}, 2,
         1, ""},
        {"tags that do not match", "5006", {{200, "<wfs:FeatureCollection><a></b></wfs:FeatureCollection>"}}, 1, 0,
         "pobrany plik nie jest poprawnym GML"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/api/public/published/" + c.id + "/download";
        if (c.requests > 0) server.answers(path, c.replies);
        const ActFeatures got = downloadActFeatures(client, c.id, geo::DataType::GeneralPlans, record);
        EXPECT_EQ(server.hits(path), c.requests);
        EXPECT_EQ(got.features.size(), c.features);
        EXPECT_EQ(got.error.substr(0, c.errorStart.size()), c.errorStart);
        for (const auto& f : got.features) EXPECT_EQ(f.type, geo::DataType::GeneralPlans);
    }
}

}  // namespace
}  // namespace kl::net
