// The per-building work of the LOD2 reconstruction: the same results on one
// thread and on several, and footprints that cannot be rebuilt skipped with a
// word instead of placed as garbage.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "import/reconstruction_stage.h"

namespace kl::import {
namespace {

using buildings::Lod1Building;

struct Said {
    std::vector<std::string> warnings;
    StageIo io() {
        return {[this](const std::string& t) { warnings.push_back(t); }, [](const std::string&, int, int) {},
                [] { return false; }};
    }
};

// A gabled house of 12 x 8 m at (x, y) with ground echoes around it.
void house(std::vector<FrameCloudPoint>& cloud, double x, double y, double ground) {
    for (double v = -6; v <= 14; v += 0.4)
        for (double u = -6; u <= 18; u += 0.4) {
            const bool inside = u > 0 && u < 12 && v > 0 && v < 8;
            const double roof = ground + 6 + 3 * (1 - std::abs(v - 4) / 4);
            cloud.push_back({x + u, y + v, inside ? roof : ground, static_cast<std::uint8_t>(inside ? 6 : 2)});
        }
}

Lod1Building footprint(std::string id, double x, double y) {
    return {std::move(id), {{x, y}, {x + 12, y}, {x + 12, y + 8}, {x, y + 8}}, 100, 9};
}

TEST(ReconstructionStage, SameBuildingsInTheSameOrderOnAnyNumberOfThreads) {
    std::vector<FrameCloudPoint> cloud;
    std::vector<Lod1Building> footprints;
    for (int i = 0; i < 37; ++i) {
        house(cloud, 1000.0 * i, 0, 100 + i);
        footprints.push_back(footprint("B" + std::to_string(i), 1000.0 * i, 0));
    }
    Said one, two;
    const ReconstructionRun a = reconstructFootprints(footprints, cloud, 1, one.io());
    const ReconstructionRun b = reconstructFootprints(footprints, cloud, 3, two.io());
    ASSERT_EQ(a.result.buildings.size(), 37u);
    EXPECT_EQ(a.result.ids, b.result.ids);
    for (size_t i = 0; i < a.result.buildings.size(); ++i) {
        EXPECT_EQ(a.result.buildings[i].mesh.vertices, b.result.buildings[i].mesh.vertices) << i;
        EXPECT_EQ(a.result.buildings[i].primitive, "Gabled") << i;
        EXPECT_NEAR(a.result.buildings[i].params.groundZ, 100.0 + static_cast<double>(i), 1e-9) << i;
    }
    EXPECT_EQ(one.warnings, two.warnings);
    EXPECT_EQ(one.warnings.back(), "Rekonstrukcja LOD2: odtworzono 37 z 37 budynkow (do korekty: 0).");
}

TEST(ReconstructionStage, UnbuildableFootprintsAreSkippedAndGuessesSaid) {
    std::vector<FrameCloudPoint> cloud;
    house(cloud, 0, 0, 100);
    std::vector<Lod1Building> footprints{
        footprint("dom", 0, 0),
        {"linia", {{0, 0}, {10, 0}}, 100, 9},
        {"zero", {{0, 0}, {5, 0}, {10, 0}}, 100, 9},
        footprint("daleko", 5000, 5000),  // no point of the cloud near: no roof, no ground
    };
    Said said;
    const ReconstructionRun run = reconstructFootprints(footprints, cloud, 2, said.io());
    EXPECT_EQ(run.result.ids, (std::vector<std::string>{"dom", "daleko"}));
    ASSERT_EQ(run.result.buildings.size(), 2u);
    EXPECT_TRUE(run.result.buildings[1].needsReview);
    EXPECT_NEAR(run.result.buildings[1].params.groundZ, 100, 1e-9);  // the LOD1 base
    EXPECT_EQ(said.warnings.back(),
              "Rekonstrukcja LOD2: odtworzono 2 z 4 budynkow (do korekty: 1). Pominieto 2 obrysow zdegenerowanych "
              "(mniej niz 3 punkty, zerowe pole lub wspolrzedne nieliczbowe). 1 budynkow bez punktow dachu w chmurze - "
              "wstawiono bryly zastepcze (grunt + 3 m) do korekty. 1 budynkow bez punktow gruntu w chmurze - sciany od "
              "poziomu z modelu LOD1.");
    for (const auto& fit : run.result.buildings)
      for (const auto& v : fit.mesh.vertices) EXPECT_TRUE(std::isfinite(v.z));
}

}  // namespace
}  // namespace kl::import
