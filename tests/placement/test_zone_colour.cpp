#include <gtest/gtest.h>

#include "placement/zone_symbology.h"

using kl::placement::zoneColour;

namespace {
void expectColour(const char* symbol, int r, int g, int b) {
    auto c = zoneColour(symbol);
    ASSERT_TRUE(c.has_value()) << symbol;
    EXPECT_EQ(c->r, r) << symbol;
    EXPECT_EQ(c->g, g) << symbol;
    EXPECT_EQ(c->b, b) << symbol;
}
}  // namespace

TEST(ZoneColour, CodesStandAlone) {
    expectColour("SW", 140, 123, 107);
    expectColour("1SW", 140, 123, 107);
    expectColour("sn.1", 183, 217, 143);
    EXPECT_FALSE(zoneColour("SWU").has_value());
    EXPECT_FALSE(zoneColour("").has_value());
    EXPECT_FALSE(zoneColour("MN").has_value());
}

TEST(ZoneColour, BlockedFirstOccurrenceMovesToTheNextRow) {
    // MSW: the SW row fails on its first occurrence; no other code stands in it.
    EXPECT_FALSE(zoneColour("MSW").has_value());
    // The SW row fails, SJ matches later in the table.
    expectColour("MSW/SJ", 201, 162, 75);
    // Only the first occurrence of a code is examined.
    EXPECT_FALSE(zoneColour("MSW SW").has_value());
}
