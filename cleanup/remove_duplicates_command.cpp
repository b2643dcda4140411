#include "cleanup/remove_duplicates_command.h"

#include <optional>
#include <string>

#include "cleanup/drawing_reader.h"
#include "cleanup/duplicate_finder.h"
#include "base/host_access.h"

namespace kl::cleanup {
namespace {

constexpr const char* kTitle = "Czyszczenie duplikatow";
constexpr const char* kQuestion =
    "Usuwa zduplikowane POLILINIE i TEKSTY (ta sama geometria/tresc, pozycja i warstwa). Z kazdej grupy "
    "duplikatow zostaje jeden element, reszta jest kasowana.\n\nDziala na ZAZNACZENIU; gdy nic nie zaznaczono - "
    "na wszystkich poliliniach i tekstach aktywnego rzutu. Operacja cofalna (Undo).";
constexpr const char* kNothingToCheck = "Brak polilinii i tekstow do sprawdzenia.";
constexpr const char* kNoneFound = "Nie znaleziono zduplikowanych polilinii ani tekstow.";
constexpr const char* kRefused =
    "Nie udalo sie usunac duplikatow - sprawdz, czy elementy nie leza na zablokowanej warstwie lub nie sa "
    "zablokowane/zgrupowane.";
constexpr const char* kUndoStep = "Usun duplikaty (polilinie + teksty)";

std::optional<int32_t> alert(int32_t kind, const char* text, const char* button1, const char* button2) {
    return hostAlert(kind, kTitle, text, button1, button2);
}

// Without an alert the message still reaches the user through the report.
void tell(const std::string& text) {
    if (!alert(KL_ALERT_INFORMATION, text.c_str(), "OK", nullptr))
        host()->WriteReport(("KARTOLINK: " + text).c_str(), 0);
}

KlErr deleteListed(void* ctx) {
    const auto& guids = static_cast<const DuplicatePlan*>(ctx)->toDelete;
    return host()->DeleteElements(guids.data(), static_cast<int32_t>(guids.size()));
}

}  // namespace

void runRemoveDuplicatesCommand() {
    if (alert(KL_ALERT_WARNING, kQuestion, "Uruchom", "Anuluj") != 1) return;
    const Drawing drawing = readDrawing();
    if (drawing.polylines.empty() && drawing.texts.empty()) return tell(kNothingToCheck);
    DuplicatePlan plan = findDuplicates(drawing);
    if (plan.toDelete.empty()) return tell(kNoneFound);
    if (host()->UndoableCommand(kUndoStep, deleteListed, &plan) != KL_NOERROR)
        return tell(kRefused);
    tell("Usunieto duplikaty:\n- polilinie: " + std::to_string(plan.polylines) +
         "\n- teksty: " + std::to_string(plan.texts));
}

}  // namespace kl::cleanup
