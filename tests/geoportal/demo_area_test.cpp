#include "tools/geoportal/demo_area.h"

#include "geodata/polish_crs.h"
#include "tools/geoportal/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace kl::geoportal {
namespace {

const DemoArea& site() { return DemoArea::instance(); }

TEST(DemoArea, GenerationIsDeterministic) {
    const DemoArea again = DemoArea::generate(KL_SAMPLES_DIR);
    ASSERT_EQ(again.layers().size(), site().layers().size());
    for (size_t i = 0; i < again.layers().size(); ++i) {
        const auto& a = again.layers()[i].features;
        const auto& b = site().layers()[i].features;
        ASSERT_EQ(a.size(), b.size());
        for (size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k].properties, b[k].properties);
            EXPECT_EQ(a[k].bounds.minX, b[k].bounds.minX);
            EXPECT_EQ(a[k].bounds.maxY, b[k].bounds.maxY);
        }
    }
}

TEST(DemoArea, SiteFeaturesLieInsideTheFrame) {
    const Box frame = site().frame();
    for (const auto& l : site().layers()) {
        if (l.name.rfind("A0", 0) == 0) continue;  // administrative units reach far beyond the site
        for (const auto& f : l.features) {
            EXPECT_GE(f.bounds.minX, frame.minX) << l.name;
            EXPECT_GE(f.bounds.minY, frame.minY) << l.name;
            EXPECT_LE(f.bounds.maxX, frame.maxX) << l.name;
            EXPECT_LE(f.bounds.maxY, frame.maxY) << l.name;
        }
    }
}

TEST(DemoArea, WgsFrameCoversThePl1992FrameWithinTwoByOneTiles) {
    const geo::Bbox b = geo::pl1992BoxFromWgs84Frame(demo::kWest, demo::kSouth, demo::kEast, demo::kNorth);
    EXPECT_LE(b.minX, demo::kMinEasting);
    EXPECT_LE(b.minY, demo::kMinNorthing);
    EXPECT_GE(b.maxX, demo::kMaxEasting);
    EXPECT_GE(b.maxY, demo::kMaxNorthing);
    EXPECT_EQ(std::ceil((b.maxX - b.minX) / 500), 2);
    EXPECT_EQ(std::ceil((b.maxY - b.minY) / 500), 1);
    EXPECT_LT(demo::kMinEasting - b.minX, 40.0);
    EXPECT_LT(b.maxY - demo::kMaxNorthing, 40.0);
}

TEST(DemoArea, EveryBuildingStandsOnOneParcel) {
    const DemoLayer* parcels = site().layer(layer::kParcels);
    for (auto name : {layer::kBuildings, layer::kNewBuildings}) {
        for (const auto& b : site().layer(name)->features) {
            int owners = 0;
            for (const auto& p : parcels->features) {
                bool all = true;
                for (const auto& v : b.rings.front()) all = all && pointInPolygon(p, v);
                owners += all ? 1 : 0;
            }
            EXPECT_EQ(owners, 1) << b.property("ID_BUDYNKU") << b.property("lokalnyId");
        }
    }
}

TEST(DemoArea, RealCountyBuildingStandsOnTheSquare) {
    const DemoLayer* buildings = site().layer(layer::kBuildings);
    const DemoFeature* sample = nullptr;
    for (const auto& b : buildings->features)
        if (b.property("ID_BUDYNKU") == "020101_1.0009.522_BUD") sample = &b;
    ASSERT_NE(sample, nullptr);
    EXPECT_GT(sample->rings.front().size(), 50u);  // the round outline as the county sent it
    for (const auto& p : site().layer(layer::kParcels)->features) {
        if (p.property("NUMER_DZIALKI") != "522") continue;
        for (const auto& v : sample->rings.front()) EXPECT_TRUE(pointInPolygon(p, v));
    }
}

TEST(DemoArea, ParcelNumbersAreUnique) {
    std::set<std::string> ids;
    for (const auto& p : site().layer(layer::kParcels)->features) EXPECT_TRUE(ids.insert(p.property("ID_DZIALKI")).second);
}

TEST(DemoArea, TownCommuneCoversTheSiteAndTheRuralOneSurroundsIt) {
    const DemoLayer* communes = site().layer(layer::kCommunes);
    ASSERT_EQ(communes->features.size(), 2u);
    const auto& town = communes->features[0];
    const auto& rural = communes->features[1];
    EXPECT_EQ(town.property("JPT_KOD_JE"), demo::kCommuneTeryt);
    EXPECT_EQ(rural.property("JPT_KOD_JE"), demo::kRuralCommuneTeryt);
    const Box f = site().frame();
    for (Xy c : {Xy{f.minX, f.minY}, Xy{f.maxX, f.maxY}, Xy{f.minX, f.maxY}, Xy{f.maxX, f.minY}}) {
        EXPECT_TRUE(pointInPolygon(town, c));
        EXPECT_FALSE(pointInPolygon(rural, c));
    }
    EXPECT_TRUE(pointInPolygon(rural, {f.minX - 6000, f.minY}));
    EXPECT_FALSE(pointInPolygon(town, {f.minX - 6000, f.minY}));
}

}  // namespace
}  // namespace kl::geoportal
