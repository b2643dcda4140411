// The planning register client: the query it sends, how it waits and gives
// up, which act it chooses and which act ids it trusts. The demo commune's
// acts and zones through the whole import are the import flow's.
#include "net/planning_register.h"
#include "tests/net/fault_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kl::net {
namespace {

using nlohmann::json;

constexpr const char* kQuery = "/api/public/published/query";

std::string act(long long id, const std::string& type, const std::string& status, const std::string& date) {
    return json{{"publishedActId", id}, {"title", "akt"}, {"planType", type}, {"spatialPlanningActStatus", status},
                {"publishDate", date}, {"tercCode", "0201011"}}
        .dump();
}

std::string actsAnswer(const std::vector<std::string>& acts) {
    std::string out = "{\"publishedActs\":[";
    for (std::size_t i = 0; i < acts.size(); ++i) out += (i ? "," : "") + acts[i];
    return out + "]}";
}

const std::string kGeneralInForce = act(5001, "MUNICIPAL_GENERAL_PLAN", "prawnie wiążący lub realizowany", "2025-06-30");

// Against a loopback server that answers the register's paths; the pauses
// between attempts are recorded, never slept.
class RegisterClient : public ::testing::Test {
protected:
    test::FaultServer server;
    WfsClient client{test::loopbackTimings(), server.hosts()};
    std::vector<int> waits;
    RegisterWait record = [this](int ms) { waits.push_back(ms); };
};

TEST(RegisterQueryBody, IsCompactWithSortedKeys) {
    struct Case {
        const char* name;
        RegisterQuery query;
        std::string body;
    };
    RegisterQuery parcel;
    parcel.parcel = "020101_1.0009.522";
    RegisterQuery generalPage2;
    generalPage2.teryt = "0201011";
    generalPage2.planTypes = {"MUNICIPAL_GENERAL_PLAN"};
    generalPage2.page = 2;
    RegisterQuery both;
    both.teryt = "0201011";
    const Case cases[] = {
        {"both plan types", both,
         R"({"criteria":{"levelList":[],"parcelIdentifier":null,"planTypeList":["MUNICIPAL_GENERAL_PLAN","LOCAL_SPATIAL_DEVELOPMENT_PLAN"],"planValidFrom":null,"planValidTo":null,"plansGroup":"ALL","publishDateFrom":null,"publishDateTo":null,"publishedActVersions":"CURRENT","query":null,"statusList":[],"tercCodeList":["0201011"]},"page":{"number":1,"size":10,"sort":{"direction":"desc","sortBy":"publishDate"}}})"},
        {"general plan, second page", generalPage2,
         R"({"criteria":{"levelList":[],"parcelIdentifier":null,"planTypeList":["MUNICIPAL_GENERAL_PLAN"],"planValidFrom":null,"planValidTo":null,"plansGroup":"ALL","publishDateFrom":null,"publishDateTo":null,"publishedActVersions":"CURRENT","query":null,"statusList":[],"tercCodeList":["0201011"]},"page":{"number":2,"size":10,"sort":{"direction":"desc","sortBy":"publishDate"}}})"},
        {"parcel without commune", parcel,
         R"({"criteria":{"levelList":[],"parcelIdentifier":"020101_1.0009.522","planTypeList":["MUNICIPAL_GENERAL_PLAN","LOCAL_SPATIAL_DEVELOPMENT_PLAN"],"planValidFrom":null,"planValidTo":null,"plansGroup":"ALL","publishDateFrom":null,"publishDateTo":null,"publishedActVersions":"CURRENT","query":null,"statusList":[],"tercCodeList":null},"page":{"number":1,"size":10,"sort":{"direction":"desc","sortBy":"publishDate"}}})"},
    };
    for (const Case& c : cases) EXPECT_EQ(registerQueryBody(c.query), c.body) << c.name;
}

TEST_F(RegisterClient, QueryIsTriedThreeTimesWithGrowingPausesAndBadAnswersGiveNoActs) {
    const std::string tenMegabytes = "{\"publishedActs\":[],\"pad\":\"" + std::string(10 * 1024 * 1024, 'x') + "\"}";
    const std::string oddEntries = "{\"publishedActs\":[1,\"x\",null,{\"publishedActId\":12,\"title\":null,"
                                   "\"planType\":\"MUNICIPAL_GENERAL_PLAN\",\"spatialPlanningActStatus\":5,"
                                   "\"publishDate\":[]},{\"publishedActId\":\"77\"}]}";
    struct Case {
        const char* name;
        test::FaultServer::Answers replies;
        int requests;
        std::vector<int> waits;
        std::size_t acts;
        int refused;
        std::string error;
        std::string firstAct = {};  // id|title|type|status|date of the first act
    };
    const Case cases[] = {
        {"first answer good", {{200, actsAnswer({kGeneralInForce})}}, 1, {}, 1, 0, ""},
        {"500 then good", {{500, "x"}, {200, actsAnswer({kGeneralInForce})}}, 2, {350}, 1, 0, ""},
        {"never the list", {{200, "{\"acts\":[],\"total\":0}"}}, 3, {350, 900}, 0, 0, "odpowiedz bez listy aktow"},
        {"too short", {{200, "{}"}}, 3, {350, 900}, 0, 0, "odpowiedz bez listy aktow"},
        {"10 MB answer", {{200, tenMegabytes}}, 3, {350, 900}, 0, 0, "odpowiedz zbyt duza (10,0 MB)"},
        {"cut JSON", {{200, "{\"publishedActs\":[{\"publishedActId\":1"}}, 1, {}, 0, 0,
         "odpowiedz Rejestru Urbanistycznego nie jest lista aktow"},
        {"list of the wrong type", {{200, "{\"publishedActs\":{\"a\":1}}"}}, 1, {}, 0, 0,
         "odpowiedz Rejestru Urbanistycznego nie jest lista aktow"},
        {"entries of the wrong types", {{200, oddEntries}}, 1, {}, 2, 3, "", "12||MUNICIPAL_GENERAL_PLAN|5|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.answers(kQuery, c.replies);
        waits.clear();
        const int before = server.hits(kQuery);
        RegisterQuery q;
        q.teryt = "0201011";
        const ActsPage page = queryPublishedActs(client, q, record);
        EXPECT_EQ(server.hits(kQuery) - before, c.requests);
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(page.acts.size(), c.acts);
        EXPECT_EQ(page.refusedEntries, c.refused);
        EXPECT_EQ(page.error, c.error);
        if (!c.firstAct.empty() && !page.acts.empty()) {
            const PublishedAct& a = page.acts[0];
            EXPECT_EQ(a.id + "|" + a.title + "|" + a.planType + "|" + a.status + "|" + a.publishDate, c.firstAct);
        }
    }
}

TEST_F(RegisterClient, GeneralPlansArePagedUntilAPageIsNotFull) {
    // A register that ignores the plan type: ten newer local plans fill the
    // first page, the general plan is on the second.
    std::vector<std::string> locals;
    for (int i = 0; i < 10; ++i)
        locals.push_back(act(6001 + i, "LOCAL_SPATIAL_DEVELOPMENT_PLAN", "prawnie wiążący lub realizowany", "2026-07-01"));
    server.answers(kQuery, {{200, actsAnswer(locals)}, {200, actsAnswer({kGeneralInForce})}});
    const ActsPage all = queryGeneralPlans(client, "0201011", record);
    EXPECT_EQ(server.hits(kQuery), 2);
    EXPECT_EQ(all.acts.size(), 11u);
    const auto chosen = selectAct(all.acts, kGeneralPlanType);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->id, "5001");
    const std::vector<std::string> bodies = server.bodies(kQuery);
    ASSERT_EQ(bodies.size(), 2u);
    for (int page = 1; page <= 2; ++page) {
        const json body = json::parse(bodies[static_cast<std::size_t>(page - 1)]);
        EXPECT_EQ(body["criteria"]["planTypeList"], json::array({"MUNICIPAL_GENERAL_PLAN"}));
        EXPECT_EQ(body["page"]["number"], page);
    }
}

TEST(SelectAct, InForceBeforeAdoptedBeforePreparedLatestFirstExpiredNever) {
    const std::string general(kGeneralPlanType);
    const auto a = [&](const char* id, const char* status, const char* date, std::string type = {}) {
        return PublishedAct{id, "", type.empty() ? general : type, status, date, "0201011"};
    };
    struct Case {
        const char* name;
        std::vector<PublishedAct> acts;
        const char* chosen;  // "" = none
    };
    const Case cases[] = {
        {"older in force beats newer in preparation",
         {a("1", "w opracowaniu", "2026-01-01"), a("2", "prawnie wiążący lub realizowany", "2025-01-01")}, "2"},
        {"later of two in force",
         {a("1", "prawnie wiążący lub realizowany", "2024-01-01"), a("2", "prawnie wiążący lub realizowany", "2025-01-01")},
         "2"},
        {"tie keeps the first",
         {a("1", "prawnie wiążący lub realizowany", "2025-01-01"), a("2", "prawnie wiążący lub realizowany", "2025-01-01")},
         "1"},
        // "nieobowiązujący" holds the letters "wi" that a substring test took for "in force".
        {"expired never wins", {a("1", "nieobowiązujący", "2026-05-10"), a("2", "w trakcie przyjmowania", "2025-01-01")},
         "2"},
        {"adopted before prepared", {a("1", "w opracowaniu", "2026-01-01"), a("2", "w trakcie przyjmowania", "2025-01-01")},
         "2"},
        {"only expired ones", {a("1", "nieobowiązujący", "2026-05-10"), a("2", "nieaktualny", "2026-06-01")}, ""},
        {"an unknown status as the last resort", {a("1", "nieaktualny", "2026-06-01"), a("2", "", "2020-01-01")}, "2"},
        {"only local plans",
         {a("1", "prawnie wiążący lub realizowany", "2026-01-01", std::string(kLocalPlanType))}, ""},
    };
    for (const Case& c : cases) {
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
    struct Case {
        const char* name;
        std::string id;
        test::FaultServer::Answers replies;
        int requests;
        std::size_t features;
        std::string errorStart;
    };
    const Case cases[] = {
        {"zones", "5001", {{200, zones}}, 1, 1, ""},
        {"path in the id", "12/../../admin", {{200, zones}}, 0, 0, "Rejestr podal nieprawidlowy identyfikator aktu"},
        {"query in the id", "12?x=1", {{200, zones}}, 0, 0, "Rejestr podal nieprawidlowy identyfikator aktu"},
        {"no id", "", {{200, zones}}, 0, 0, "Rejestr podal nieprawidlowy identyfikator aktu"},
        {"empty answers", "5002", {{200, ""}}, 3, 0, "pusta odpowiedz"},
        {"JSON instead of GML", "5003", {{200, "{\"status\":404,\"message\":\"brak\"}"}}, 3, 0,
         "Serwer zwrocil dane w nieoczekiwany"},
        {"cut GML", "5004", {{200, zones.substr(0, zones.size() / 2)}}, 3, 0, "Odpowiedz serwera urwana"},
        {"maintenance page once", "5005", {{200, "<!DOCTYPE html><html><body>Przerwa</body></html>"}, {200, zones}}, 2,
         1, ""},
        {"tags that do not match", "5006", {{200, "<wfs:FeatureCollection><a></b></wfs:FeatureCollection>"}}, 1, 0,
         "pobrany plik nie jest poprawnym GML"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/api/public/published/" + c.id + "/download";
        if (c.requests > 0) server.answers(path, c.replies);
        const ActFeatures got = downloadActFeatures(client, c.id, geo::DataType::GeneralPlans, record);
        if (c.requests > 0) {
            EXPECT_EQ(server.hits(path), c.requests);
        }
        EXPECT_EQ(got.features.size(), c.features);
        EXPECT_EQ(got.error.substr(0, c.errorStart.size()), c.errorStart);
        for (const auto& f : got.features) EXPECT_EQ(f.type, geo::DataType::GeneralPlans);
    }
}

}  // namespace
}  // namespace kl::net
