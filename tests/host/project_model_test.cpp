// The workbench's project model: what it takes from the add-on, bodies it
// refuses, and undo steps that leave the model byte-identical when they fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/project.h"

namespace kl::host {
namespace {

KlErr runStep(Project& p, const char* name, std::function<KlErr()> body) {
    return p.undoableCommand(
        name, [](void* ctx) -> KlErr { return (*static_cast<std::function<KlErr()>*>(ctx))(); }, &body);
}

// The name is cut to the field; a name that fills it has no terminating NUL.
KlAttribute namedAttribute(int32_t type, const std::string& name) {
    KlAttribute a{};
    a.type = type;
    std::memcpy(a.name, name.data(), std::min(name.size(), sizeof a.name));
    return a;
}

KlErr addLayer(Project& p, const std::string& name, int32_t* index = nullptr) {
    KlAttribute a = namedAttribute(KL_ATTR_LAYER, name);
    KlErr err = p.createAttribute(&a);
    if (index) *index = a.index;
    return err;
}

// A polyline through the points, or a text when one is given.
KlErr addElement(Project& p, std::vector<KlCoord> pts, const char* text = nullptr, int32_t layer = 1,
                 KlGuid* guid = nullptr) {
    KlElement e{};
    e.type = text ? KL_ELEM_TEXT : KL_ELEM_POLYLINE;
    KlMemo memo{};
    if (KlErr err = p.elementDefaults(&e, &memo); err != KL_NOERROR) return err;
    e.layer = layer;
    e.textLoc = {10, 20};
    KlMemoSizes sizes{};
    sizes.nCoords = static_cast<int32_t>(pts.size());
    sizes.textBytes = text ? std::strlen(text) : 0;
    p.memos().allocate(&memo, sizes);
    std::copy(pts.begin(), pts.end(), memo.coords);
    if (text) std::memcpy(memo.text, text, sizes.textBytes);
    KlErr err = p.createElement(&e, &memo);
    p.memos().dispose(&memo);
    if (guid) *guid = e.guid;
    return err;
}

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

const std::vector<KlCoord> kSquare = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}};
const std::vector<KlCoord> kOpen = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
const std::vector<KlCoord3> kThreeInside = {{1, 1, 0.5}, {2, 1, 0.7}, {3, 3, 1.5}};

// (Each kind the import makes is taken whole in the placement tests.)
TEST(ElementCreation, TakesOnlyWhatTheHostCanDrawAndFreesNothingItDoesNotOwn) {
    constexpr int32_t M = KL_ELEM_MESH;
    const ElementCase cases[] = {
        {"polylineOnePoint", KL_ELEM_POLYLINE, {{0, 0}}, KL_ERR_BADPARS},
        {"polylineWithArcs", KL_ELEM_POLYLINE, kOpen, KL_NOERROR, {{1, 2, 0.5}, {3, 4, -3}}},
        {"arcSkippingAVertex", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{1, 3, 0.5}}},
        {"arcPastTheEnd", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{4, 5, 0.5}}},
        {"twoArcsOnOneSegment", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{1, 2, 0.5}, {1, 2, 0.25}}},
        {"arcOfAFullTurn", KL_ELEM_POLYLINE, kOpen, KL_ERR_BADPARS, {{1, 2, 7}}},
        {"hatchNotClosed", KL_ELEM_HATCH, kOpen, KL_ERR_BADPARS},
        {"textWithout", KL_ELEM_TEXT, {}, KL_ERR_BADPARS},
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
        if (c.expected == KL_NOERROR && c.type == KL_ELEM_POLYLINE) {  // as the add-on reads its polylines back
            ASSERT_EQ(p.getElementMemo(&e.guid, &memo, KL_MEMO_COORDS), KL_NOERROR);
            ASSERT_EQ(std::pair(memo.nCoords, memo.nArcs), std::pair(sizes.nCoords, sizes.nArcs));
            EXPECT_EQ(std::memcmp(memo.coords, c.coords.data(), c.coords.size() * sizeof(KlCoord)), 0);
            EXPECT_EQ(std::memcmp(memo.arcs, c.arcs.data(), c.arcs.size() * sizeof(KlPolyArc)), 0);
            KlMemo copy = memo;
            EXPECT_EQ(p.memos().dispose(&memo), KL_NOERROR);
            EXPECT_EQ(p.memos().dispose(&copy), KL_ERR_BADPARS) << "a second dispose through a copy";
        }
        EXPECT_EQ(p.memos().live(), 0u);
    }
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

// A project with some content, so rollbacks have something to preserve.
void seed(Project& p, KlGuid* first = nullptr) {
    ASSERT_EQ(runStep(p, "seed", [&] {
                  int32_t layer = 0;
                  if (KlErr e = addLayer(p, "Dzialki", &layer)) return e;
                  if (KlErr e = addElement(p, {{0, 0}, {5, 5}, {9, 1}}, nullptr, layer, first)) return e;
                  return addElement(p, {}, "Zażółć");
              }),
              KL_NOERROR);
}

// (The georeference, written outside any step, is the settings tests'.)
TEST(ProjectUndo, CreationOutsideAStepIsRefused) {
    Project p;
    EXPECT_EQ(addLayer(p, "X"), KL_ERR_REFUSED);
    EXPECT_EQ(addElement(p, {{0, 0}, {1, 1}}), KL_ERR_REFUSED);
    EXPECT_EQ(p.serialise(), Project().serialise());
    EXPECT_EQ(p.memos().live(), 0u);
}

// Every way a step can fail leaves the model byte-identical and the journal as it was.
TEST(ProjectUndo, AFailedStepLeavesTheModelByteIdentical) {
    struct Case {
        const char* name;
        KlErr expected;
        std::function<KlErr(Project&, KlGuid&)> body;
    };
    const Case cases[] = {
        {"many creations, a georeference, an info string and a deletion, then an error", -42,
         [](Project& p, KlGuid& first) {
             for (int i = 0; i < 200; ++i) {
                 int32_t layer = 0;
                 if (KlErr e = addLayer(p, "L" + std::to_string(i), &layer)) return e;
                 if (KlErr e = addElement(p, {{double(i), 0}, {double(i), 1}}, nullptr, layer)) return e;
             }
             KlGeoLocation g = p.geoLocation();
             std::strcpy(g.crsName, "ETRS89 / Poland CS92");
             p.setGeoLocation(g);
             p.setInfoString(&first, "changed");
             p.deleteElements(&first, 1);
             return KlErr(-42);
         }},
        {"an exception", KL_ERR_CANCEL,
         [](Project& p, KlGuid&) -> KlErr {
             addLayer(p, "temporary");
             throw std::runtime_error("boom");
         }},
        {"a succeeded inner step, then an error", -1,
         [](Project& p, KlGuid&) {
             runStep(p, "inner", [&] { return addElement(p, {{0, 0}, {1, 0}}); });
             return KlErr(-1);
         }},
        {"deleting a known and an unknown element", KL_ERR_BADID,
         [](Project& p, KlGuid& first) {
             KlGuid list[2] = {first, KlGuid{{1, 2, 3, 4}}};
             return p.deleteElements(list, 2);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Project p;
        KlGuid first{};
        seed(p, &first);
        const std::string before = p.serialise();
        EXPECT_EQ(runStep(p, "Import GIS", [&] { return c.body(p, first); }), c.expected);
        EXPECT_EQ(p.serialise(), before);
        EXPECT_EQ(p.journal().done().size(), 1u);  // only the seed
        EXPECT_EQ(p.memos().live(), 0u);
    }
}

TEST(ProjectUndo, NestedStepRunsInlineAndAFailedInnerPartIsUndoneAlone) {
    Project p;
    KlErr err = runStep(p, "outer", [&] {
        addLayer(p, "kept");
        KlErr inner = runStep(p, "inner-ok", [&] { return addLayer(p, "inner kept"); });
        if (inner) return inner;
        EXPECT_EQ(runStep(p, "inner-bad", [&] {
                      addLayer(p, "inner dropped");
                      return KlErr(-7);
                  }),
                  -7);
        return addElement(p, {}, "after");
    });
    ASSERT_EQ(err, KL_NOERROR);
    ASSERT_EQ(p.journal().done().size(), 1u);
    EXPECT_EQ(p.journal().done()[0].name, "outer");
    std::vector<std::string> names;
    for (const auto& a : p.attributes().list(KL_ATTR_LAYER)) names.push_back(a.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ArchiCAD Layer", "kept", "inner kept"}));
    EXPECT_EQ(p.elements().size(), 1u);
}

TEST(ProjectUndo, UndoAndRedoWholeSteps) {
    Project p;
    const std::string empty = p.serialise();
    KlGuid line{};
    seed(p, &line);
    const std::string seeded = p.serialise();
    // the line is the first of the two elements: its undone deletion must put it back first
    ASSERT_EQ(runStep(p, "edit", [&] {
                  p.setInfoString(&line, "ID-1");
                  return p.deleteElements(&line, 1);
              }),
              KL_NOERROR);
    const std::string edited = p.serialise();
    EXPECT_NE(edited, seeded);

    // each undo or redo in turn and the model it leaves; none: nothing left to do
    const std::pair<bool, const std::string*> turns[] = {{true, &seeded},  {true, &empty},   {true, nullptr},
                                                         {false, &seeded}, {false, &edited}, {false, nullptr}};
    for (const auto& [undo, model] : turns) {
        EXPECT_EQ(undo ? p.undo() : p.redo(), model != nullptr);
        EXPECT_TRUE(!model || p.serialise() == *model) << (undo ? "undo to " : "redo to ") << (model ? *model : "");
    }

    // a new step after an undo drops what could be redone
    EXPECT_TRUE(p.undo());
    ASSERT_EQ(runStep(p, "other", [&] { return addElement(p, {}, "x"); }), KL_NOERROR);
    EXPECT_FALSE(p.redo());
}

}  // namespace
}  // namespace kl::host
