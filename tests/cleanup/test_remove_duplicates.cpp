// The cleanup command against the workbench host: what it asks, what it
// deletes, in how many undo steps, and what it says.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cleanup/remove_duplicates_command.h"
#include "host/core/workbench.h"
#include "tests/cleanup/drawing_builder.h"
#include "tests/support/host_binding.h"

namespace kl {
namespace {

using testing::DrawingBuilder;

constexpr const char* kAsk = "Usuwa zduplikowane POLILINIE i TEKSTY";
constexpr const char* kNothing = "Brak polilinii i tekstow do sprawdzenia.";
constexpr const char* kNoneFound = "Nie znaleziono zduplikowanych polilinii ani tekstow.";
constexpr const char* kRefused =
    "Nie udalo sie usunac duplikatow - sprawdz, czy elementy nie leza na zablokowanej warstwie lub nie sa "
    "zablokowane/zgrupowane.";
constexpr const char* kStep = "Usun duplikaty (polilinie + teksty)";

const std::vector<KlCoord> kSquare = {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}};
const std::vector<KlCoord> kSquareOtherWay = {{5, 5}, {5, 0}, {0, 0}, {0, 5}, {5, 5}};

struct CleanupCase {
    const char* name;
    // Draws; returns the elements to select (none: the whole plan).
    std::function<std::vector<KlGuid>(DrawingBuilder&)> draw;
    std::vector<int32_t> answers;
    const char* said;  // the last alert's text, nullptr: only the question
    size_t deleted;
    const char* failingHostCall = nullptr;  // fails once, after the drawing
};

using Guids = std::vector<KlGuid>;

Guids none(DrawingBuilder&) { return {}; }

Guids twoSquares(DrawingBuilder& d) {
    d.polyline(kSquare);
    d.polyline(kSquare);
    return {};
}

Guids squaresAndSelectedTexts(DrawingBuilder& d) {
    twoSquares(d);
    return Guids{d.text({0, 0}, "a"), d.text({0, 0}, "a")};
}

TEST(RemoveDuplicates, AsksDeletesInOneStepAndSays) {
    const CleanupCase cases[] = {
        {"cancelled", twoSquares, {2}, nullptr, 0},  // or closed: the same "not run"
        {"emptyPlan", none, {1}, kNothing, 0},
        // A selection without polylines or texts does not fall back to the whole plan.
        {"selectionOfAHatchOnly", [](DrawingBuilder& d) { twoSquares(d); return Guids{d.hatch(kSquare)}; }, {1},
         kNothing, 0},
        {"nothingDuplicated", [](DrawingBuilder& d) {
             d.polyline(kSquare);
             d.polyline({{0, 0}, {5, 0}, {5, 5.001}, {0, 5}, {0, 0}});
             d.text({1, 1}, "12/3");
             d.text({1, 1}, "12/4");
             return Guids{};
         }, {1}, kNoneFound, 0},
        {"importedTwice", [](DrawingBuilder& d) {
             const int32_t other = d.layer("Budynki");
             d.polyline(kSquare);
             d.polyline(kSquareOtherWay);               // same outline: goes
             d.polyline(kSquare, other);                // another layer: stays
             d.polyline({{0, 0}, {1, 0}, {1, 1}});
             d.polyline({{1, 1}, {1, 0}, {0, 0}});      // reversed open: goes
             d.text({2, 2}, "Działka 12/3", 2.5);
             d.text({2.0003, 2}, "Działka 12/3", 4);    // other size, same text: goes
             return Guids{};
         }, {1, 1}, "Usunieto duplikaty:\n- polilinie: 2\n- teksty: 1", 3},
        {"onlyTheSelection", squaresAndSelectedTexts, {1, 1}, "Usunieto duplikaty:\n- polilinie: 0\n- teksty: 1", 1},
        // A selection the host cannot give counts as none: the whole plan is cleaned.
        {"selectionUnreadable", squaresAndSelectedTexts, {1, 1}, "Usunieto duplikaty:\n- polilinie: 1\n- teksty: 1", 2,
         "GetSelection"},
        {"deletionRefusedByTheHost", twoSquares, {1, 1}, kRefused, 0, "DeleteElements"},
        {"unreadableElementsLeftOut", twoSquares, {1, 1}, kNoneFound, 0, "GetElementMemo"},
    };
    bindAddonToHost(&host::Workbench::hostTable());
    for (const CleanupCase& c : cases) {
        SCOPED_TRACE(c.name);
        host::Workbench wb;
        DrawingBuilder draw(wb);
        wb.selectElements(c.draw(draw));
        const size_t before = wb.project().elements().size();
        const size_t stepsBefore = wb.project().journal().done().size();
        wb.alerts().script(c.answers);
        if (c.failingHostCall) wb.faults().arm({c.failingHostCall, 1, KL_ERR_GENERAL, false, 0});

        cleanup::runRemoveDuplicatesCommand();

        const auto& shown = wb.alerts().all();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown[0].text.rfind(kAsk, 0), 0u);
        if (c.said) {
            ASSERT_EQ(shown.size(), 2u);
            EXPECT_EQ(shown[1].text, c.said);
        } else {
            EXPECT_EQ(shown.size(), 1u);
        }
        EXPECT_EQ(before - wb.project().elements().size(), c.deleted);
        const auto& steps = wb.project().journal().done();
        ASSERT_EQ(steps.size(), stepsBefore + (c.deleted > 0 ? 1 : 0));
        if (c.deleted > 0) {
            EXPECT_EQ(steps.back().name, kStep);
            ASSERT_TRUE(wb.undo());
            EXPECT_EQ(wb.project().elements().size(), before);
        }
        EXPECT_EQ(wb.project().memos().live(), 0u);
    }
    bindAddonToHost(nullptr);
}

}  // namespace
}  // namespace kl
