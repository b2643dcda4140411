#include <gtest/gtest.h>

#include "placement/parcel_label.h"
#include "placement/placement_transform.h"

using kl::placement::parcelNumber;

TEST(ParcelLabel, FullIdentifierKeepsTheNumber) {
    EXPECT_EQ(parcelNumber({{"NUMER_DZIALKI", "141201_1.0001.123/4"}}), "123/4");
    EXPECT_EQ(parcelNumber({{"NUMER_DZIALKI", "12/3"}}), "12/3");
    EXPECT_EQ(parcelNumber({{"NUMER_DZIALKI", "12."}}), "12.");
}

TEST(ParcelLabel, PassesInOrder) {
    // pass 3 skips keys naming the precinct
    EXPECT_EQ(parcelNumber({{"numer_obrebu", "0001"}, {"numer", "7"}}), "7");
    // pass 1 wins over pass 2 even when pass 2's key sorts first
    EXPECT_EQ(parcelNumber({{"identyfikator", "1.2.99"}, {"nr_dzialki", "5"}}), "5");
    EXPECT_EQ(parcelNumber({{"identyfikator", "1.2.99"}}), "99");
    EXPECT_EQ(parcelNumber({{"id_dzialki", "42"}}), "42");
    // empty values never match
    EXPECT_EQ(parcelNumber({{"nr_dzialki", ""}, {"numer", "8"}}), "8");
    EXPECT_EQ(parcelNumber({{"numer_arkusza", "3"}, {"opis", "x"}}), "");
    EXPECT_EQ(parcelNumber({}), "");
}

TEST(PlacementTransform, SurveyPointLandsAtTheProjectOffset) {
    kl::placement::PlacementTransform t{500000, 250000, 0.0, 10, 20};
    auto p = t.apply({500000, 250000});
    EXPECT_DOUBLE_EQ(p.x, 10);
    EXPECT_DOUBLE_EQ(p.y, 20);
    // A project north rotated by 90 degrees turns east into south.
    kl::placement::PlacementTransform r{0, 0, M_PI / 2, 0, 0};
    p = r.apply({1, 0});
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, -1, 1e-12);
}
