// The "pog" stage against a loopback register: which warning each answer
// earns, and that zones come whole or not at all. (Answers the client refuses
// are its own rows; their wording in the fetch warning is the fetch faults'.)
#include "import/general_plan_stage.h"
#include "base/service_hosts.h"
#include "tests/net/fault_server.h"

#include <gtest/gtest.h>

#include <string>

namespace kl::import {
namespace {

const std::string kInForce = "prawnie wiążący lub realizowany";

std::string act(const std::string& id, const std::string& status, const std::string& type = "MUNICIPAL_GENERAL_PLAN") {
    return "{\"publishedActId\":" + id + ",\"planType\":\"" + type + "\",\"spatialPlanningActStatus\":\"" + status +
           "\",\"publishDate\":\"2025-06-30\"}";
}

// Two square zones of 100 m in PL-1992, one at each given south-west corner.
std::string zones(double e1, double n1, double e2, double n2) {
    const auto square = [](int k, double e, double n) {
        // Northing first, as the URN form of the system is written.
        const auto p = [](double east, double north) {
            return std::to_string(static_cast<long long>(north)) + " " + std::to_string(static_cast<long long>(east)) + " ";
        };
        return "<wfs:member><app:StrefaPlanistyczna gml:id=\"s" + std::to_string(k) +
               "\"><app:symbol>SW</app:symbol><app:geometria><gml:Polygon srsName=\"urn:ogc:def:crs:EPSG::2180\">"
               "<gml:exterior><gml:LinearRing><gml:posList>" +
               p(e, n) + p(e + 100, n) + p(e + 100, n + 100) + p(e, n + 100) + p(e, n) +
               "</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></app:geometria>"
               "</app:StrefaPlanistyczna></wfs:member>";
    };
    return "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
           "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:app=\"urn:app\">" +
           square(1, e1, n1) + square(2, e2, n2) + "</wfs:FeatureCollection>";
}

TEST(GeneralPlanStage, EachRegisterAnswerEarnsItsWarningAndZonesComeWhole) {
    const geo::Bbox frame{1000, 2000, 1500, 2400};
    const std::string commune = "0201011";
    struct Case {
        const char* name;
        std::string acts;      // the query answer
        std::string download;  // the answer for act 5001
        std::size_t zones;
        std::string warning;
    };
    const Case cases[] = {
        {"one zone in the frame", "{\"publishedActs\":[" + act("5001", kInForce) + "]}", zones(1100, 2100, 5000, 5000),
         1, ""},
        {"no zone in the frame", "{\"publishedActs\":[" + act("5001", kInForce) + "]}", zones(3000, 3000, 5000, 5000),
         0, "POG gminy 0201011: akt jest, ale zadna strefa nie wpada w kadr."},
        {"only local plans", "{\"publishedActs\":[" + act("6001", kInForce, "LOCAL_SPATIAL_DEVELOPMENT_PLAN") + "]}",
         zones(1100, 2100, 5000, 5000), 0,
         "Brak POG dla gminy 0201011 (Plan Ogolny jeszcze nieuchwalony w Rejestrze Urbanistycznym)."},
        {"odd entries and an id with a path", "{\"publishedActs\":[7,[],null," + act("\"5001/../x\"", kInForce) + "]}",
         zones(1100, 2100, 5000, 5000), 0,
         "Rejestr Urbanistyczny: pominieto 3 wpisow listy aktow, ktore nie sa opisem aktu. POG gminy 0201011: nie udalo "
         "sie pobrac stref aktu '5001/../x' (Rejestr podal nieprawidlowy identyfikator aktu) - strefy pominiete."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultServer server;
        server.reply("/api/public/published/query", 200, c.acts, "application/json");
        server.reply("/api/public/published/5001/download", 200, c.download, "application/gml+xml");
        net::WfsClient client(test::loopbackTimings(), settings::serviceHostsWithOverride(server.url("")));
        const GeneralPlanZones got = fetchGeneralPlanZones(client, commune, frame, [](int) {});
        EXPECT_EQ(got.zones.size(), c.zones);
        EXPECT_EQ(got.warning, c.warning);
        for (const auto& z : got.zones) EXPECT_EQ(z.type, geo::DataType::GeneralPlans);
    }
}

}  // namespace
}  // namespace kl::import
