// Map features and images as host elements: what a feature's attributes give
// its drawing (the parcel number shown, the colour of a plan zone), each kind
// on its layer with its pens and labels, and map image tiles as pictures:
// where their corners land (PROJ's cs2cs is the oracle), what the host is told
// about the bytes, and that a refused picture takes the whole import step back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "geodata/polish_crs.h"
#include "host/core/workbench.h"
#include "placement/parcel_label.h"
#include "placement/placement_transform.h"
#include "placement/raster_placement.h"
#include "placement/vector_placement.h"
#include "placement/zone_symbology.h"
#include "tests/geodata/proj_oracle.h"
#include "tests/placement/workbench_fixture.h"
#include "tools/geoportal/image_codec.h"

using namespace kl;
using geo::DataType;
using geo::GisFeature;
using placement::parcelNumber;
using placement::zoneColour;

TEST(ParcelLabel, TheNumberIsFoundByKeyInPassOrder) {
    const struct {
        std::map<std::string, std::string> attributes;
        const char* number;
    } cases[] = {
        {{{"NUMER_DZIALKI", "12."}}, "12."},
        {{{"numer_obrebu", "0001"}, {"numer", "7"}}, "7"},  // pass 3 skips keys naming the precinct
        {{{"identyfikator", "1.2.99"}, {"nr_dzialki", "5"}}, "5"},  // pass 1 wins though pass 2's key sorts first
        {{{"identyfikator", "1.2.99"}}, "99"},
        {{{"id_dzialki", "42"}}, "42"},
        {{{"nr_dzialki", ""}, {"numer", "8"}}, "8"},  // empty values never match
        {{{"numer_arkusza", "3"}, {"opis", "x"}}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(parcelNumber(c.attributes), c.number) << c.number;
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

namespace {

geo::Polygon square(double x, double y, double size, bool closed = true) {
    geo::Polygon p;
    p.exterior = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
    if (closed) p.exterior.push_back({x, y});
    return p;
}

GisFeature area(DataType type, geo::Polygon polygon, std::map<std::string, std::string> attributes = {}) {
    GisFeature f;
    f.type = type;
    f.polygons.push_back(std::move(polygon));
    f.attributes = std::move(attributes);
    return f;
}

class VectorPlacement : public placement_tests::WorkbenchFixture {
protected:
    placement::PlaceResult place(const std::vector<GisFeature>& features,
                                 placement::PlacementTransform t = {500000, 250000, 0, 0, 0}) {
        placement::PlaceResult r;
        inStep([&] {
            placement::LayerResolver layers(settings_);
            r = placement::placeVectorFeatures(features, t, layers);
            return r.error.empty() ? KL_NOERROR : KL_ERR_GENERAL;
        });
        return r;
    }
};

}  // namespace

// An element as one line: its layer (name and index) and pen, its points or
// rings, and what only its kind carries.
std::string describe(const host::ElementRecord& e, const std::string& layer) {
    std::ostringstream o;
    o.imbue(std::locale::classic());
    o << layer << "#" << e.element.layer << " pen " << e.element.pen;
    if (e.element.type == KL_ELEM_POLYLINE)
        o << " line " << e.coords.size() << " from " << e.coords[0].x << " " << e.coords[0].y;
    if (e.element.type == KL_ELEM_TEXT)
        o << " text " << e.text << " " << e.element.textSizeMm << " at " << e.element.textLoc.x;
    if (e.element.type == KL_ELEM_HATCH) {
        o << " fill " << e.element.fillIndex << " pens " << e.element.fillPen << " " << e.element.backgroundPen
          << " rings";
        for (int32_t end : e.ringEnds) o << " " << end;
        if (e.element.hasFillColour) o << " red " << std::lround(e.element.fillRed * 255);
    }
    return o.str();
}

// Parcels get closed outlines (a closed hole not doubled) and their number where
// they have a label point; utilities draw only lines and other objects only count;
// buildings are solid fills with their holes, and types sharing a layer name share
// the layer; general plans are coloured by their symbol and labelled, a city
// centre is outlined only, two other classes get hatches found by name (or the
// project's first vector pattern), and a local plan never gets a colour. A
// feature the host refuses is skipped alone.
TEST_F(VectorPlacement, EachKindOnItsLayerWithItsPensAndLabels) {
    auto parcel = square(500010, 250020, 10, /*closed=*/false);
    parcel.holes.push_back({{500012, 250022}, {500014, 250022}, {500014, 250024}, {500012, 250022}});
    GisFeature numbered = area(DataType::Parcels, parcel, {{"NUMER_DZIALKI", "141201_1.0001.123/4"}});
    numbered.point = {500015, 250025};
    numbered.hasPoint = true;
    GisFeature pipe, topo;
    pipe.type = DataType::UtilityNetworks;
    pipe.lines.push_back({{500000, 250000}, {500010, 250000}, {500010, 250010}});
    topo.type = DataType::TopographicObjects;
    topo.lines.push_back({{500000, 250000}, {500001, 250001}});
    auto building = square(500005, 250000, 20);
    building.holes.push_back({{500010, 250005}, {500011, 250005}, {500011, 250006}});
    GisFeature zone =
        area(DataType::GeneralPlans, square(500000, 250000, 50), {{"symbol", "SW"}, {"oznaczenie", "1SW"}});
    zone.point = {500025, 250025};
    zone.hasPoint = true;
    auto centre = square(500100, 250000, 50);
    centre.holes.push_back({{500110, 250010}, {500120, 250010}, {500120, 250020}});
    GisFeature downtown =
        area(DataType::GeneralPlans, centre, {{"_typ", "ObszarZabudowySrodmiejskiej"}, {"oznaczenie", "SR"}});
    downtown.point = {500125, 250025};
    downtown.hasPoint = true;
    const GisFeature infill = area(DataType::GeneralPlans, square(500000, 250000, 10),
                                   {{"_typ", "ObszarUzupelnieniaZabudowy"}, {"symbol", "SW"}});
    GisFeature social = infill;
    social.attributes["_typ"] = "ObszarStandardowDostepnosciInfrastrukturySpolecznej";
    const auto sharedLayer = [&] {
        settings_.layers[DataType::Buildings] = settings_.layers[DataType::Parcels] = "GIS_WSPOLNA";
        return 0;
    };
    const auto namedHatches = [] {
        KlAttribute a{};
        a.type = KL_ATTR_FILL;
        a.fillKind = 1;
        for (const char* name : {"Kreski 45", "Kreskowanie PIONOWE"}) {
            std::strcpy(a.name, name);
            if (const KlErr e = host::Workbench::hostTable().CreateAttribute(&a)) return e;
        }
        return KL_NOERROR;
    };
    const struct {
        const char* name;
        std::vector<GisFeature> features;
        std::function<int()> prepare;  // readies the project; gives how many features the host will refuse
        std::map<std::string, int> counts;
        std::vector<std::string> elements;
    } cases[] = {
        {"parcels", {numbered, area(DataType::Parcels, square(500100, 250000, 5), {{"numer", "7"}})}, {},
         {{"dzialki", 2}},
         {"GIS_DZIALKI#2 pen 10 line 5 from 10 20", "GIS_DZIALKI#2 pen 10 line 4 from 12 22",
          "GIS_DZIALKI#2 pen 10 text 123/4 1.5 at 15", "GIS_DZIALKI#2 pen 10 line 5 from 100 0"}},
        {"utilities and others", {pipe, area(DataType::UtilityNetworks, square(500000, 250000, 3)), topo}, {},
         {{"gesut", 2}, {"bdot500", 1}}, {"GIS_GESUT#2 pen 5 line 3 from 0 0"}},
        {"buildings on a shared layer", {area(DataType::Parcels, square(500000, 250000, 3)),
         area(DataType::Buildings, building)}, sharedLayer, {{"dzialki", 1}, {"budynki", 1}},
         {"GIS_WSPOLNA#2 pen 10 line 5 from 0 0", "GIS_WSPOLNA#2 pen 6 fill 1 pens 6 0 rings 5 9"}},
        {"plans", {zone, downtown, area(DataType::ZoningPlans, square(500200, 250000, 50), {{"symbol", "SW"}})}, {},
         {{"pog", 2}, {"mpzp", 1}},
         {"GIS_POG#2 pen 32 fill 1 pens 32 0 rings 5 red 140", "GIS_POG#2 pen 32 text 1SW 2.5 at 25",
          "GIS_POG#2 pen 8 line 5 from 100 0", "GIS_POG#2 pen 32 text SR 2.5 at 125",
          "GIS_MPZP#3 pen 30 fill 1 pens 30 0 rings 5"}},
        {"special classes", {infill, social}, [&] { return inStep(namedHatches); }, {{"pog", 2}},
         {"GIS_POG#2 pen 8 fill 5 pens 8 0 rings 5 red 90", "GIS_POG#2 pen 8 fill 3 pens 8 0 rings 5 red 90"}},
        {"special class without the named hatch", {infill}, {}, {{"pog", 1}},
         {"GIS_POG#2 pen 8 fill 3 pens 8 0 rings 5 red 90"}},
        {"a refused feature skipped alone", {area(DataType::Parcels, square(500000, 250000, 3)), numbered},
         [&] { wb_->faults().arm({"CreateElement", 1, KL_ERR_GENERAL, false, 0}); return 1; }, {{"dzialki", 1}},
         {"GIS_DZIALKI#2 pen 10 line 5 from 10 20", "GIS_DZIALKI#2 pen 10 line 4 from 12 22",
          "GIS_DZIALKI#2 pen 10 text 123/4 1.5 at 15"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshProject();
        const int refused = c.prepare ? c.prepare() : 0;
        const auto r = place(c.features);
        ASSERT_TRUE(r.error.empty()) << r.error;
        EXPECT_EQ(r.counts, c.counts);
        EXPECT_EQ(r.skipped, refused);
        std::vector<std::string> made;
        for (const auto& [seq, rec] : wb_->project().elements().all())
            made.push_back(describe(*rec, layerName(rec->element.layer)));
        EXPECT_EQ(made, c.elements);
        EXPECT_EQ(wb_->project().memos().live(), 0u);
    }
}

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
        freshProject();
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
