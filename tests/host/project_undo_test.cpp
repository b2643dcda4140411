#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/core/project.h"
#include "tests/host/project_steps.h"

namespace kl::host {
namespace {

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

TEST(ProjectUndo, CreationOutsideAStepIsRefusedAndTheGeoreferenceAllowed) {
    Project p;
    EXPECT_EQ(addLayer(p, "X"), KL_ERR_REFUSED);
    EXPECT_EQ(addElement(p, {{0, 0}, {1, 1}}), KL_ERR_REFUSED);
    EXPECT_EQ(p.elements().size(), 0u);
    EXPECT_EQ(p.memos().live(), 0u);
    KlGeoLocation g = p.geoLocation();
    g.surveyEasting = 500000.25;
    EXPECT_EQ(p.setGeoLocation(g), KL_NOERROR);
    EXPECT_EQ(p.geoLocation().surveyEasting, 500000.25);
    EXPECT_TRUE(p.journal().done().empty());
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

    EXPECT_TRUE(p.undo());
    EXPECT_EQ(p.serialise(), seeded);
    EXPECT_TRUE(p.undo());
    EXPECT_EQ(p.serialise(), empty);
    EXPECT_FALSE(p.undo());
    EXPECT_TRUE(p.redo());
    EXPECT_EQ(p.serialise(), seeded);
    EXPECT_TRUE(p.redo());
    EXPECT_EQ(p.serialise(), edited);
    EXPECT_FALSE(p.redo());

    // a new step after an undo drops what could be redone
    EXPECT_TRUE(p.undo());
    ASSERT_EQ(runStep(p, "other", [&] { return addElement(p, {}, "x"); }), KL_NOERROR);
    EXPECT_FALSE(p.redo());
}

}  // namespace
}  // namespace kl::host
