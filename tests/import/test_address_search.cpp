// Address search as the map page sees it: both searches are answered later,
// from a worker, with the local geoportal's demo places; a failing geocoder
// gives the page a reason or an empty list, never a frozen window. (A place
// found and shown on the map is the browser import test's.)
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/import/import_session.h"

namespace kl::testing {
namespace {

using nlohmann::json;

const std::string kCounty = ", Bolesławiec, powiat bolesławiecki";

int requestsTo(const std::string& path) {
    int n = 0;
    for (const auto& entry : DemoServices::instance().server().log().snapshot()) n += entry.path == path;
    return n;
}

std::vector<std::string> labelsOf(const json& suggestions) {
    std::vector<std::string> labels;
    for (const json& item : suggestions.at("items")) labels.push_back(item.at("label").get<std::string>());
    return labels;
}

class AddressSearch : public ::testing::Test {
protected:
    AddressSearch() { DemoServices::instance().server().log().clear(); }
    json search(const std::string& query) {
        s.clearReceived();
        EXPECT_TRUE(s.ask({{"type", "searchAddress"}, {"query", query}}).is_null())
            << "a search must not hold the host's window while the geocoder answers";
        return s.waitFor("addressResults");
    }
    json suggest(const std::string& query) {
        s.clearReceived();
        EXPECT_TRUE(s.ask({{"type", "searchAddressSuggest"}, {"query", query}}).is_null());
        return s.waitFor("addressSuggestions");
    }
    ImportSession s;
};

TEST_F(AddressSearch, NothingFoundAndBlankQueriesGiveResultsWithoutAPosition) {
    for (const std::string query : {"Marszałkowska 1", "", "  "}) {
        const json r = search(query);
        EXPECT_EQ(r, json({{"type", "addressResults"}})) << query;
    }
    EXPECT_EQ(requestsTo("/search"), 1) << "a blank query is not sent";
}

struct SuggestCase {
    std::string query;
    std::vector<std::string> labels;
};

TEST_F(AddressSearch, SuggestionsEchoTheQueryAndNameThePlaces) {
    const SuggestCase cases[] = {
        {"Bolesławiec, Rynek", {"Rynek" + kCounty, "Ratusz, Rynek 41" + kCounty}},
        {"\"Rynek\" ", {"Rynek" + kCounty, "Ratusz, Rynek 41" + kCounty}},
        {"kościuszki 12", {"Tadeusza Kościuszki 12" + kCounty}},
        {"Jana Pawła", {"Jana Pawła II" + kCounty, "Jana Pawła II 12" + kCounty}},
        {"Kubika & Asnyka", {}},
        {"", {}},
        {std::string(10000, 'x'), {}},
    };
    for (const SuggestCase& c : cases) {
        const json r = suggest(c.query);
        EXPECT_EQ(r.value("query", ""), c.query);
        EXPECT_EQ(labelsOf(r), c.labels) << c.query.substr(0, 40);
    }
    EXPECT_EQ(suggest("Bol")["items"].size(), 5u) << "at most five suggestions";
}

TEST_F(AddressSearch, OverlappingSuggestionsEachCarryTheirOwnQuery) {
    for (const char* query : {"Bol", "Bolesławiec, Rynek", "Grunw"})
        EXPECT_TRUE(s.ask({{"type", "searchAddressSuggest"}, {"query", query}}).is_null());
    ASSERT_TRUE(s.settle());
    std::map<std::string, std::size_t> itemsByQuery;
    for (const json& r : s.received("addressSuggestions")) itemsByQuery[r["query"]] = r["items"].size();
    EXPECT_EQ(itemsByQuery, (std::map<std::string, std::size_t>{{"Bol", 5}, {"Bolesławiec, Rynek", 2}, {"Grunw", 2}}));
}

// Statuses and bodies are rows of the geocoder client's own tables; here the
// page's side: a failing search is named, a late suggestion gives an empty
// list (the answer would come after 5 s; the suggestion gives up at 4 s).
TEST_F(AddressSearch, AFailingSearchIsNamedAndALateSuggestionIsEmpty) {
    DemoServices::instance().addFault(geoportal::FaultKind::Status, "", 0, "/search");
    EXPECT_TRUE(s.ask({{"type", "searchAddress"}, {"query", "Rynek"}}).is_null());
    EXPECT_EQ(s.waitFor("error").value("msg", ""), "Wyszukiwarka adresow nie odpowiada (Nominatim)");
    EXPECT_TRUE(s.received("addressResults").empty());

    DemoServices::instance().addFault(geoportal::FaultKind::Slow, "", 5000, "/api/");
    const json r = suggest("Rynek");
    EXPECT_EQ(r.value("query", ""), "Rynek");
    EXPECT_EQ(r["items"], json::array());
}

}  // namespace
}  // namespace kl::testing
