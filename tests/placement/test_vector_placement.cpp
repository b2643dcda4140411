#include <gtest/gtest.h>

#include <cstring>

#include "host/core/workbench.h"
#include "placement/vector_placement.h"
#include "tests/placement/workbench_fixture.h"

using namespace kl;
using geo::DataType;
using geo::GisFeature;

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

TEST_F(VectorPlacement, ParcelGetsClosedOutlinesAndItsNumberAndOneWithoutLabelPointStillCounts) {
    auto poly = square(500010, 250020, 10, /*closed=*/false);
    poly.holes.push_back({{500012, 250022}, {500014, 250022}, {500014, 250024}, {500012, 250022}});
    GisFeature parcel = area(DataType::Parcels, poly, {{"NUMER_DZIALKI", "141201_1.0001.123/4"}});
    parcel.point = {500015, 250025};
    parcel.hasPoint = true;
    const auto r = place({parcel, area(DataType::Parcels, square(500100, 250000, 5), {{"numer", "7"}})});
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(r.counts.at("dzialki"), 2);

    const auto lines = elements(KL_ELEM_POLYLINE);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->coords.size(), 5u);  // the open ring got its first point appended
    EXPECT_EQ(lines[1]->coords.size(), 4u);  // the closed hole was not doubled
    EXPECT_DOUBLE_EQ(lines[0]->coords[0].x, 10);
    EXPECT_DOUBLE_EQ(lines[0]->coords[0].y, 20);
    EXPECT_EQ(lines[0]->element.pen, 10);
    EXPECT_EQ(layerName(lines[0]->element.layer), "GIS_DZIALKI");

    const auto texts = elements(KL_ELEM_TEXT);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "123/4");
    EXPECT_DOUBLE_EQ(texts[0]->element.textLoc.x, 15);
    EXPECT_DOUBLE_EQ(texts[0]->element.textSizeMm, 1.5);

    ASSERT_TRUE(r.hasExtent);
    EXPECT_DOUBLE_EQ(r.minX, 10);
    EXPECT_DOUBLE_EQ(r.maxY, 30);
    EXPECT_EQ(wb_->project().memos().live(), 0u);
}

TEST_F(VectorPlacement, BuildingsAreSolidFillsWithHoles) {
    auto poly = square(500000, 250000, 20);
    poly.holes.push_back({{500005, 250005}, {500006, 250005}, {500006, 250006}});
    const auto r = place({area(DataType::Buildings, poly)});
    EXPECT_EQ(r.counts.at("budynki"), 1);
    const auto fills = elements(KL_ELEM_HATCH);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0]->ringEnds, (std::vector<int32_t>{5, 9}));
    EXPECT_EQ(fills[0]->element.pen, 6);
    EXPECT_EQ(fills[0]->element.hasFillColour, 0);
    EXPECT_NE(fills[0]->element.fillIndex, 0);
}

TEST_F(VectorPlacement, UtilitiesDrawOnlyLinesAndOthersOnlyCount) {
    GisFeature pipe;
    pipe.type = DataType::UtilityNetworks;
    pipe.lines.push_back({{500000, 250000}, {500010, 250000}, {500010, 250010}});
    GisFeature topo;
    topo.type = DataType::TopographicObjects;
    topo.lines.push_back({{500000, 250000}, {500001, 250001}});
    const auto r = place({pipe, area(DataType::UtilityNetworks, square(500000, 250000, 3)), topo});
    EXPECT_EQ(r.counts.at("gesut"), 2);
    EXPECT_EQ(r.counts.at("bdot500"), 1);
    const auto lines = elements(KL_ELEM_POLYLINE);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->coords.size(), 3u);  // open line stays open
    EXPECT_EQ(lines[0]->element.pen, 5);
}

TEST_F(VectorPlacement, TypesSharingALayerNameShareTheLayer) {
    settings_.layers[DataType::Buildings] = "GIS_WSPOLNA";
    settings_.layers[DataType::Parcels] = "GIS_WSPOLNA";
    place({area(DataType::Parcels, square(500000, 250000, 3)), area(DataType::Buildings, square(500005, 250000, 3))});
    const auto lines = elements(KL_ELEM_POLYLINE);
    const auto fills = elements(KL_ELEM_HATCH);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(lines[0]->element.layer, fills[0]->element.layer);
    EXPECT_EQ(layerName(lines[0]->element.layer), "GIS_WSPOLNA");
}

TEST_F(VectorPlacement, GeneralPlanSymbologyAndLabels) {
    GisFeature zone = area(DataType::GeneralPlans, square(500000, 250000, 50), {{"symbol", "SW"}, {"oznaczenie", "1SW"}});
    zone.point = {500025, 250025};
    zone.hasPoint = true;
    auto poly = square(500100, 250000, 50);
    poly.holes.push_back({{500110, 250010}, {500120, 250010}, {500120, 250020}});
    GisFeature downtown = area(DataType::GeneralPlans, poly, {{"_typ", "ObszarZabudowySrodmiejskiej"}, {"oznaczenie", "SR"}});
    downtown.point = {500125, 250025};
    downtown.hasPoint = true;
    const auto r = place({zone, downtown, area(DataType::ZoningPlans, square(500200, 250000, 50), {{"symbol", "SW"}})});
    EXPECT_EQ(r.counts.at("pog"), 2);
    EXPECT_EQ(r.counts.at("mpzp"), 1);

    const auto fills = elements(KL_ELEM_HATCH);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0]->element.hasFillColour, 1);
    EXPECT_NEAR(fills[0]->element.fillRed, 140 / 255.0, 1e-12);
    EXPECT_EQ(fills[0]->element.pen, 32);
    EXPECT_EQ(fills[1]->element.hasFillColour, 0);  // a local plan never gets a colour
    EXPECT_EQ(fills[1]->element.pen, 30);

    const auto outlines = elements(KL_ELEM_POLYLINE);
    ASSERT_EQ(outlines.size(), 1u);  // downtown: outer ring only
    EXPECT_EQ(outlines[0]->element.pen, 8);
    EXPECT_EQ(outlines[0]->coords.size(), 5u);

    const auto texts = elements(KL_ELEM_TEXT);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->text, "1SW");
    EXPECT_EQ(texts[1]->text, "SR");
    EXPECT_EQ(texts[1]->element.pen, 32);
    EXPECT_DOUBLE_EQ(texts[1]->element.textSizeMm, 2.5);
}

TEST_F(VectorPlacement, FailingHostCallSkipsOnlyThatFeature) {
    wb_->faults().arm({"CreateElement", 1, KL_ERR_GENERAL, false, 0});
    const auto r = place({area(DataType::Parcels, square(500000, 250000, 3)), area(DataType::Parcels, square(500010, 250000, 3))});
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(r.counts.at("dzialki"), 1);
    EXPECT_EQ(elements(KL_ELEM_POLYLINE).size(), 1u);
    EXPECT_EQ(wb_->project().memos().live(), 0u);
}

TEST_F(VectorPlacement, SpecialGeneralPlanClassesUseNamedHatches) {
    int32_t vertical = 0, diagonal = 0;
    inStep([&] {
        KlAttribute a{};
        a.type = KL_ATTR_FILL;
        a.fillKind = 1;
        std::strcpy(a.name, "Kreski 45");
        if (KlErr e = host::Workbench::hostTable().CreateAttribute(&a)) return e;
        std::strcpy(a.name, "Kreskowanie PIONOWE");
        const KlErr e = host::Workbench::hostTable().CreateAttribute(&a);
        vertical = a.index;
        return e;
    });
    ASSERT_NE(vertical, 0);
    // A name no pattern contains falls back to the first vector pattern.
    host::Workbench::hostTable().ListAttributes(
        KL_ATTR_FILL,
        [](void* c, const KlAttribute* a) {
            auto* first = static_cast<int32_t*>(c);
            if (*first == 0 && a->fillKind == 1) *first = a->index;
        },
        &diagonal);
    const GisFeature infill =
        area(DataType::GeneralPlans, square(500000, 250000, 10), {{"_typ", "ObszarUzupelnieniaZabudowy"}, {"symbol", "SW"}});
    GisFeature social = infill;
    social.attributes["_typ"] = "ObszarStandardowDostepnosciInfrastrukturySpolecznej";
    const auto r = place({infill, social});
    EXPECT_EQ(r.counts.at("pog"), 2);
    const auto fills = elements(KL_ELEM_HATCH);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0]->element.fillIndex, vertical);
    EXPECT_EQ(fills[1]->element.fillIndex, diagonal);
    for (const auto* f : fills) {
        EXPECT_EQ(f->element.pen, 8);
        EXPECT_EQ(f->element.fillPen, 8);
        EXPECT_EQ(f->element.backgroundPen, 0);
        EXPECT_NEAR(f->element.fillRed, 90 / 255.0, 1e-12);
    }

    // Another project has its own patterns; none found in this one may be used there.
    wb_->openAnotherProject();
    const auto again = place({infill});
    EXPECT_EQ(again.skipped, 0);
    const auto reopened = elements(KL_ELEM_HATCH);
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ(reopened[0]->element.fillIndex, 3) << "the fresh project's first vector pattern";
}
