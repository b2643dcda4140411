// What a feature's attributes give its drawing: the parcel number shown and
// the colour of a plan zone.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <string>

#include "placement/parcel_label.h"
#include "placement/placement_transform.h"
#include "placement/zone_symbology.h"

using kl::placement::parcelNumber;
using kl::placement::zoneColour;

TEST(ParcelLabel, TheNumberIsFoundByKeyInPassOrder) {
    const struct {
        std::map<std::string, std::string> attributes;
        const char* number;
    } cases[] = {
        {{{"NUMER_DZIALKI", "141201_1.0001.123/4"}}, "123/4"},  // a full identifier keeps the number
        {{{"NUMER_DZIALKI", "12/3"}}, "12/3"},
        {{{"NUMER_DZIALKI", "12."}}, "12."},
        {{{"numer_obrebu", "0001"}, {"numer", "7"}}, "7"},  // pass 3 skips keys naming the precinct
        {{{"identyfikator", "1.2.99"}, {"nr_dzialki", "5"}}, "5"},  // pass 1 wins though pass 2's key sorts first
        {{{"identyfikator", "1.2.99"}}, "99"},
        {{{"id_dzialki", "42"}}, "42"},
        {{{"nr_dzialki", ""}, {"numer", "8"}}, "8"},  // empty values never match
        {{{"numer_arkusza", "3"}, {"opis", "x"}}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(parcelNumber(c.attributes), c.number) << c.number;
}

TEST(PlacementTransform, SurveyPointLandsAtTheProjectOffset) {
    const auto p = kl::placement::PlacementTransform{500000, 250000, 0.0, 10, 20}.apply({500000, 250000});
    EXPECT_DOUBLE_EQ(p.x, 10);
    EXPECT_DOUBLE_EQ(p.y, 20);
    // A project north rotated by 90 degrees turns east into south.
    const auto r = kl::placement::PlacementTransform{0, 0, M_PI / 2, 0, 0}.apply({1, 0});
    EXPECT_NEAR(r.x, 0, 1e-12);
    EXPECT_NEAR(r.y, -1, 1e-12);
}

TEST(ZoneColour, OnlyTheFirstOccurrenceOfAStandAloneCodeCounts) {
    const struct {
        const char* symbol;
        std::optional<std::array<int, 3>> rgb;
    } cases[] = {
        {"SW", {{140, 123, 107}}}, {"1SW", {{140, 123, 107}}}, {"sn.1", {{183, 217, 143}}},
        {"SWU", {}}, {"", {}}, {"MN", {}},
        {"MSW", {}},                         // the SW row fails on its first occurrence; no other code stands in it
        {"MSW/SJ", {{201, 162, 75}}},        // the SW row fails, SJ matches later in the table
        {"MSW SW", {}},                      // only the first occurrence of a code is examined
    };
    for (const auto& c : cases) {
        const auto got = zoneColour(c.symbol);
        ASSERT_EQ(got.has_value(), c.rgb.has_value()) << c.symbol;
        if (got) {
            EXPECT_EQ((std::array<int, 3>{got->r, got->g, got->b}), *c.rgb) << c.symbol;
        }
    }
}
