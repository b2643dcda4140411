#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/project.h"
#include "tests/host/project_steps.h"

namespace kl::host {
namespace {

TEST(Attributes, NamesAreCheckedAndUniquePerType) {
    Project p;
    const struct {
        int32_t type;
        std::string name;
        KlErr expected;
    } rows[] = {
        {KL_ATTR_LAYER, std::string(KL_NAME_MAX, 'a'), KL_NOERROR},
        {KL_ATTR_LAYER, std::string(KL_NAME_MAX + 1, 'b'), KL_ERR_BADPARS},  // fills the array, no NUL
        {KL_ATTR_FILL, "", KL_ERR_BADPARS},
        {KL_ATTR_SURFACE, "Trawa", KL_NOERROR},
        {KL_ATTR_SURFACE, "Trawa", KL_ERR_ATTREXIST},  // and the existing index
        {KL_ATTR_LAYER, "Trawa", KL_NOERROR},
        {KL_ATTR_PEN, "pen", KL_ERR_NOTSUPPORTED},
    };
    std::map<std::pair<int32_t, std::string>, int32_t> indexes;
    for (const auto& r : rows) {
        KlAttribute a = namedAttribute(r.type, r.name);
        EXPECT_EQ(runStep(p, "t", [&] { return p.createAttribute(&a); }), r.expected) << r.name;
        if (r.expected == KL_NOERROR) indexes[{r.type, r.name}] = a.index;
        if (r.expected == KL_ERR_ATTREXIST) {
            EXPECT_EQ(a.index, indexes.at({r.type, r.name}));
        }
    }
    EXPECT_EQ(p.attributes().list(KL_ATTR_LAYER).size(), 3u);
}

// An element as the add-on hands it over: its memo's parts (a mesh's with
// heights for every outline vertex and level points joined into level lines).
struct ElementCase {
    const char* name;
    int32_t type;
    std::vector<KlCoord> coords;
    KlErr expected;
    std::vector<KlPolyArc> arcs = {};
    const char* text = nullptr;
    std::string_view pictureBytes = {};  // empty: no data
    const char* mime = "";
    bool boundaryHeights = false;
    std::vector<KlCoord3> levelPoints = {};
    std::vector<int32_t> levelEnds = {};
};

constexpr std::string_view kPngStart("\x89PNG\r\n\x1a\n", 8);
constexpr std::string_view kJpegStart("\xff\xd8\xff\xe0", 4);

const std::vector<KlCoord> kSquare = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}};
const std::vector<KlCoord> kOpen = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
const std::vector<KlCoord3> kThreeInside = {{1, 1, 0.5}, {2, 1, 0.7}, {3, 3, 1.5}};

TEST(ElementCreation, TakesOnlyWhatTheHostCanDrawAndFreesNothingItDoesNotOwn) {
    constexpr int32_t M = KL_ELEM_MESH;
    const ElementCase cases[] = {
        {"polyline", KL_ELEM_POLYLINE, kOpen, KL_NOERROR},
        {"polylineOnePoint", KL_ELEM_POLYLINE, {{0, 0}}, KL_ERR_BADPARS},
        {"polylineWithArcs", KL_ELEM_POLYLINE, kOpen, KL_NOERROR, {{1, 2, 0.5}, {3, 4, -3}}},
        {"arcSkippingAVertex", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{1, 3, 0.5}}},
        {"arcPastTheEnd", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{4, 5, 0.5}}},
        {"twoArcsOnOneSegment", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{1, 2, 0.5}, {1, 2, 0.25}}},
        {"arcOfAFullTurn", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{1, 2, 7}}},
        {"hatch", KL_ELEM_HATCH, kSquare, KL_NOERROR},
        {"hatchNotClosed", KL_ELEM_HATCH, kOpen, KL_ERR_BADPARS},
        {"slab", KL_ELEM_SLAB, kSquare, KL_NOERROR},
        {"text", KL_ELEM_TEXT, {}, KL_NOERROR, {}, "Działka 12/3"},
        {"textWithout", KL_ELEM_TEXT, {}, KL_ERR_BADPARS},
        {"picture", KL_ELEM_PICTURE, {}, KL_NOERROR, {}, nullptr, kPngStart, "image/png"},
        {"pictureJpeg", KL_ELEM_PICTURE, {}, KL_NOERROR, {}, nullptr, kJpegStart, "image/jpeg"},
        {"picturePngCalledJpeg", KL_ELEM_PICTURE, {}, KL_ERR_BADPARS, {}, nullptr, kPngStart, "image/jpeg"},
        {"pictureWithoutType", KL_ELEM_PICTURE, {}, KL_ERR_BADPARS, {}, nullptr, kPngStart, ""},
        {"pictureNoData", KL_ELEM_PICTURE, {}, KL_ERR_BADPARS},
        {"morphWithoutBody", KL_ELEM_MORPH, {}, KL_ERR_BADPARS},
        {"flatMesh", M, kSquare, KL_NOERROR, {}, nullptr, {}, "", true},
        {"meshPointsOfTheirOwn", M, kSquare, KL_NOERROR, {}, nullptr, {}, "", true, kThreeInside, {1, 2, 3}},
        {"meshOneLevelLine", M, kSquare, KL_NOERROR, {}, nullptr, {}, "", true, kThreeInside, {3}},
        {"meshPointOnTheOutline", M, kSquare, KL_NOERROR, {}, nullptr, {}, "", true, {{4, 2, 1}, {0, 0, 1}}, {1, 2}},
        {"meshWithoutBoundaryHeights", M, kSquare, KL_ERR_BADPARS},
        {"meshOutlineNotClosed", M, kOpen, KL_ERR_BADPARS, {}, nullptr, {}, "", true},
        {"meshPointsWithoutLines", M, kSquare, KL_ERR_BADPARS, {}, nullptr, {}, "", true, kThreeInside},
        {"meshLinesShortOfTheLastPoint", M, kSquare, KL_ERR_BADPARS, {}, nullptr, {}, "", true, kThreeInside, {2}},
        {"meshLinesPastTheLastPoint", M, kSquare, KL_ERR_BADPARS, {}, nullptr, {}, "", true, kThreeInside, {4}},
        {"meshLinesOutOfOrder", M, kSquare, KL_ERR_BADPARS, {}, nullptr, {}, "", true, kThreeInside, {2, 1, 3}},
        {"meshPointOutsideTheOutline", M, kSquare, KL_ERR_BADPARS, {}, nullptr, {}, "", true, {{5, 2, 1}}, {1}},
        {"meshHeightNotANumber", M, kSquare, KL_ERR_BADPARS, {}, nullptr, {}, "", true, {{1, 1, std::nan("")}}, {1}},
    };
    for (const ElementCase& c : cases) {
        SCOPED_TRACE(c.name);
        Project p;
        KlElement e{};
        e.type = c.type;
        KlMemo memo{};
        ASSERT_EQ(p.elementDefaults(&e, &memo), KL_NOERROR);
        e.textLoc = {1, 2};
        e.picWidth = e.picHeight = 10;
        std::strncpy(e.picMimeType, c.mime, KL_MIME_MAX);
        KlMemoSizes sizes{};
        sizes.nCoords = static_cast<int32_t>(c.coords.size());
        sizes.textBytes = c.text ? std::strlen(c.text) : 0;
        sizes.dataBytes = c.pictureBytes.empty() ? 0 : 16;
        sizes.nArcs = static_cast<int32_t>(c.arcs.size());
        sizes.withBoundaryZ = c.boundaryHeights ? 1 : 0;
        sizes.nLevelPoints = static_cast<int32_t>(c.levelPoints.size());
        sizes.nLevelEnds = static_cast<int32_t>(c.levelEnds.size());
        ASSERT_EQ(p.memos().allocate(&memo, sizes), KL_NOERROR);
        std::copy(c.arcs.begin(), c.arcs.end(), memo.arcs);
        std::copy(c.coords.begin(), c.coords.end(), memo.coords);
        if (c.text) std::memcpy(memo.text, c.text, sizes.textBytes);
        if (!c.pictureBytes.empty()) std::memcpy(memo.data, c.pictureBytes.data(), c.pictureBytes.size());
        for (int32_t i = 0; c.boundaryHeights && i < memo.nCoords; ++i) memo.boundaryZ[i] = 10.0 + i;
        std::copy(c.levelPoints.begin(), c.levelPoints.end(), memo.levelPoints);
        std::copy(c.levelEnds.begin(), c.levelEnds.end(), memo.levelEnds);
        EXPECT_EQ(runStep(p, "t", [&] { return p.createElement(&e, &memo); }), c.expected);
        EXPECT_EQ(p.elements().size(), c.expected == KL_NOERROR ? 1u : 0u);
        EXPECT_EQ(p.memos().live(), 1u);
        EXPECT_EQ(p.memos().dispose(&memo), KL_NOERROR);
        EXPECT_EQ(p.memos().live(), 0u);
    }
}

TEST(Memos, ElementMemoRoundTripsAndIsCounted) {
    Project p;
    KlElement e{};
    e.type = KL_ELEM_POLYLINE;
    p.elementDefaults(&e, nullptr);
    KlMemo memo{};
    KlMemoSizes sizes{};
    sizes.nCoords = 3;
    sizes.nArcs = 1;
    p.memos().allocate(&memo, sizes);
    memo.coords[2] = {5, 6.5};
    memo.arcs[0] = {2, 3, -1.25};
    ASSERT_EQ(runStep(p, "t", [&] { return p.createElement(&e, &memo); }), KL_NOERROR);
    p.memos().dispose(&memo);

    KlMemo back{};
    ASSERT_EQ(p.getElementMemo(&e.guid, &back, KL_MEMO_COORDS), KL_NOERROR);
    ASSERT_EQ(back.nArcs, 1);
    EXPECT_EQ(back.arcs[0].arcAngle, -1.25);
    KlMemo copy = back;
    EXPECT_EQ(p.memos().dispose(&back), KL_NOERROR);
    EXPECT_EQ(p.memos().dispose(&copy), KL_ERR_BADPARS);  // second dispose through a copy: refused, no crash
    EXPECT_EQ(p.memos().live(), 0u);
}

// A body as the add-on hands it over: vertices, edges (vertex pairs) and
// polygons (signed edge lists), and the code the first refused call returns.
struct BodyCase {
    const char* name;
    std::vector<KlCoord3> vertices;
    std::vector<std::pair<int32_t, int32_t>> edges;
    std::vector<std::vector<int32_t>> polygons;
    KlErr expected;
};

// Unit square at z 0 with its diagonal 1-3, and a point 5 above the middle; two triangles on it.
const std::vector<KlCoord3> kPyramid = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 5}};
const std::vector<std::pair<int32_t, int32_t>> kTwoTriangles = {{1, 2}, {2, 3}, {3, 1}, {3, 4}, {4, 1}};

TEST(BodyChecks, ModellerRefusesWhatCannotBeASolid) {
    const BodyCase cases[] = {
        {"edgeOnOneVertex", kPyramid, {{1, 2}, {2, 2}}, {}, KL_ERR_BADINDEX},
        {"vertexOutOfRange", kPyramid, {{1, 6}}, {}, KL_ERR_BADINDEX},
        {"edgeOutOfRange", kPyramid, {{1, 2}, {2, 3}, {3, 1}}, {{1, 2, 4}}, KL_ERR_BADINDEX},
        {"twoEdges", kPyramid, {{1, 2}, {2, 1}}, {{1, 2}}, KL_ERR_BADPARS},
        {"edgeRunningTheWrongWay", kPyramid, {{1, 2}, {2, 3}, {1, 3}}, {{1, 2, 3}}, KL_ERR_BADPARS},
        {"twoTrianglesMeetingEdgeAgainstEdge", kPyramid, kTwoTriangles, {{1, 2, 3}, {-3, 4, 5}}, KL_NOERROR},
        {"sharedEdgeRunningTheSameWayTwice", kPyramid, kTwoTriangles, {{1, 2, 3}, {3, -5, -4}}, KL_ERR_BODY_EDGE_TWICE},
        // the quad 1-2-4-3 crosses itself at the middle; it shares edge 1-2 with a triangle under the apex
        {"sharedBodyWithBowTie", kPyramid, {{1, 2}, {2, 4}, {4, 3}, {3, 1}, {2, 5}, {5, 1}},
         {{1, 2, 3, 4}, {-1, -6, -5}}, KL_ERR_BODY_SELF_CROSSING},
        {"triangle", {{0, 0, 0}, {1, 0, 0}, {0, 1, 1}}, {{1, 2}, {2, 3}, {1, 3}}, {{1, 2, -3}}, KL_NOERROR},
        {"looseBowTieIsNotChecked", kPyramid, {{1, 2}, {2, 4}, {4, 3}, {3, 1}}, {{1, 2, 3, 4}}, KL_NOERROR},
        // 1-2-3-1-4 comes back through vertex 1: touching itself there
        {"sharedPolygonTouchingItself", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}, {0, 0, 3}},
         {{1, 2}, {2, 3}, {3, 1}, {1, 4}, {4, 5}, {5, 1}, {2, 6}, {6, 1}}, {{1, 2, 3, 4, 5, 6}, {-1, -8, -7}},
         KL_ERR_BODY_SELF_CROSSING},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Project p;
        KlBodyRef body = nullptr;
        ASSERT_EQ(p.bodyCreate(&body), KL_NOERROR);
        MorphBody& b = p.liveBody(body)->body;
        KlErr err = KL_NOERROR;
        int32_t index = 0;
        for (const auto& v : c.vertices) ASSERT_EQ(b.addVertex(v, index), KL_NOERROR);
        for (const auto& [v1, v2] : c.edges)
            if (err == KL_NOERROR) err = b.addEdge(v1, v2, index);
        for (const auto& poly : c.polygons)
            if (err == KL_NOERROR) err = b.addPolygon(poly.data(), static_cast<int32_t>(poly.size()), 1, index);
        KlMemo memo{};
        if (err == KL_NOERROR) err = p.bodyFinish(body, &memo);
        EXPECT_EQ(err, c.expected);
        if (err == KL_NOERROR) {
            // The finished body becomes a morph and is written as it was given.
            KlElement e{};
            e.type = KL_ELEM_MORPH;
            p.elementDefaults(&e, nullptr);
            EXPECT_EQ(runStep(p, "t", [&] { return p.createElement(&e, &memo); }), KL_NOERROR);
            std::string edges;
            for (int32_t edge : c.polygons[0]) edges += (edges.empty() ? "" : ",") + std::to_string(edge);
            EXPECT_NE(p.serialise().find("\"polygons\":[{\"edges\":[" + edges + "]"), std::string::npos);
        }
        EXPECT_EQ(p.memos().dispose(&memo), KL_NOERROR);
        EXPECT_EQ(p.bodyDispose(&body), KL_NOERROR);
        EXPECT_EQ(body, nullptr);
        EXPECT_EQ(p.bodyDispose(&body), KL_ERR_BADID);
        EXPECT_EQ(p.liveBodies(), 0u);
        EXPECT_EQ(p.memos().live(), 0u);
    }
}

}  // namespace
}  // namespace kl::host
