// Map image tiles as host pictures: where their corners land (PROJ's cs2cs
// is the oracle), what the host is told about the bytes, and that a refused
// picture takes the whole import step back.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geodata/polish_crs.h"
#include "host/core/workbench.h"
#include "placement/raster_placement.h"
#include "placement/vector_placement.h"
#include "tests/placement/workbench_fixture.h"
#include "tests/geodata/proj_oracle.h"
#include "tests/support/host_binding.h"
#include "tools/geoportal/image_codec.h"

using namespace kl;

namespace {

std::string png() { return geoportal::encodePng(geoportal::Canvas(8, 8, {90, 120, 60, 255}), false); }
std::string jpeg() { return geoportal::encodeJpeg(geoportal::Canvas(8, 8, {90, 120, 60, 255}), 85); }

class RasterPlacement : public placement_tests::WorkbenchFixture {
protected:
    // Tiles and then vectors in one undo step, as the import places them.
    placement::PlaceResult place(const std::vector<net::RasterTile>& tiles, int workingEpsg,
                                 const placement::PlacementTransform& t,
                                 const std::vector<geo::GisFeature>& features = {}) {
        placement::PlaceResult r;
        inStep([&] {
            placement::LayerResolver layers(settings_);
            placement::placeRasterTiles(tiles, t, workingEpsg, layers, r);
            if (r.error.empty()) r.counts.merge(placement::placeVectorFeatures(features, t, layers).counts);
            return r.error.empty() ? KL_NOERROR : KL_ERR_GENERAL;
        });
        return r;
    }

    std::vector<const host::ElementRecord*> pictures() const { return elements(KL_ELEM_PICTURE); }
};

// A site on the 16.5 degree meridian, where the zones 2176 and 2177 meet.
const geo::Point2d kSite = geo::wgs84ToPl1992(52.0, 16.5);

net::RasterTile tileIn(int epsg, std::string image, std::string mime) {
    const geo::Bbox pl1992{kSite.x, kSite.y, kSite.x + 240, kSite.y + 180};
    const geo::Bbox box = geo::isPl2000Epsg(epsg) ? geo::pl2000BoxFromPl1992(pl1992, epsg) : pl1992;
    return {geo::DataType::Rasters, std::move(image), std::move(mime), box, epsg};
}

TEST_F(RasterPlacement, CornersAgreeWithProjInTheWorkingZoneWhereverTheTileWasFetched) {
    const struct {
        const char* name;
        int tileEpsg, workingEpsg;
    } cases[] = {
        {"fetched in the working zone", 2177, 2177},
        {"fetched in PL-1992", 2180, 2177},
        {"fetched in the neighbouring zone", 2176, 2177},
        {"working in PL-1992", 2176, 2180},
    };
    for (const auto& c : cases) {
        wb_ = std::make_unique<host::Workbench>();
        bindAddonToHost(&host::Workbench::hostTable());
        const net::RasterTile tile = tileIn(c.tileEpsg, png(), "image/png");
        const geo::Bbox& b = tile.box;
        // cs2cs takes and gives the Polish grids northing first.
        const auto corners = geo::testing::runCs2cs("EPSG:" + std::to_string(c.tileEpsg),
                                                    "EPSG:" + std::to_string(c.workingEpsg),
                                                    {{b.minY, b.minX}, {b.minY, b.maxX}, {b.maxY, b.minX}});
        ASSERT_TRUE(corners.has_value()) << "cs2cs is missing";
        // The project's origin near the site, its north turned by 7 degrees.
        const placement::PlacementTransform t{(*corners)[0].second - 35, (*corners)[0].first - 20, 0.122, 3, 4};
        const placement::PlaceResult r = place({tile}, c.workingEpsg, t);
        ASSERT_EQ(r.error, "") << c.name;
        EXPECT_EQ(r.counts.at("rastry (rastr)"), 1) << c.name;
        const auto placed = pictures();
        ASSERT_EQ(placed.size(), 1u) << c.name;
        const KlElement& e = placed[0]->element;
        const double cs = std::cos(e.picAngleRad), sn = std::sin(e.picAngleRad);
        const geo::Point2d got[3] = {{e.picOrigin.x, e.picOrigin.y},
                                     {e.picOrigin.x + cs * e.picWidth, e.picOrigin.y + sn * e.picWidth},
                                     {e.picOrigin.x - sn * e.picHeight, e.picOrigin.y + cs * e.picHeight}};
        for (int i = 0; i < 3; ++i) {
            const geo::Point2d want = t.apply({(*corners)[i].second, (*corners)[i].first});
            EXPECT_NEAR(got[i].x, want.x, 0.001) << c.name << " corner " << i;
            EXPECT_NEAR(got[i].y, want.y, 0.001) << c.name << " corner " << i;
        }
        EXPECT_EQ(placed[0]->data.size(), tile.image.size()) << c.name;
    }
}

TEST_F(RasterPlacement, TheHostIsToldTheFormatOfTheBytesAndRefusesAMismatchAsAWholeStep) {
    geo::GisFeature parcel;
    parcel.type = geo::DataType::Parcels;
    parcel.polygons.push_back({{{kSite.x, kSite.y}, {kSite.x + 9, kSite.y}, {kSite.x + 9, kSite.y + 9}, {kSite.x, kSite.y}}, {}});
    const placement::PlacementTransform t{kSite.x, kSite.y, 0, 0, 0};

    const placement::PlaceResult both = place({tileIn(2180, png(), "image/png"), tileIn(2180, jpeg(), "image/jpeg")},
                                              2180, t, {parcel});
    ASSERT_EQ(both.error, "");
    EXPECT_EQ(both.counts.at("rastry (rastr)"), 2);
    EXPECT_EQ(both.counts.at("dzialki"), 1);
    ASSERT_EQ(pictures().size(), 2u);
    EXPECT_STREQ(pictures()[0]->element.picMimeType, "image/png");
    EXPECT_STREQ(pictures()[1]->element.picMimeType, "image/jpeg");

    const size_t before = wb_->project().elements().size();
    const placement::PlaceResult refused =
        place({tileIn(2180, png(), "image/png"), tileIn(2180, png(), "image/jpeg")}, 2180, t, {parcel});
    EXPECT_EQ(refused.error, "Blad wstawiania rastra (kod " + std::to_string(KL_ERR_BADPARS) + ") dla: rastry");
    EXPECT_EQ(wb_->project().elements().size(), before);
    EXPECT_EQ(wb_->project().memos().live(), 0u);
}

}  // namespace
