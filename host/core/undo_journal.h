#pragma once
// The changes of undo steps. A step is recorded while its body runs; a
// failed body (or a failed nested part) is rolled back by applying its
// changes backwards; finished steps can be undone and redone as a whole.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "host/core/attributes.h"
#include "host/core/element_store.h"
#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct ElementChange {
    uint64_t seq = 0;
    ElementPtr before;  // null: did not exist
    ElementPtr after;   // null: removed
};

struct AttributeAppend {
    Attribute attribute;
};

struct GeoChange {
    KlGeoLocation before{};
    KlGeoLocation after{};
};

using Change = std::variant<ElementChange, AttributeAppend, GeoChange>;

struct UndoStep {
    std::string name;
    std::vector<Change> changes;
};

// Applies one change to the model, forwards (redo) or backwards (undo).
class ChangeTarget {
public:
    virtual ~ChangeTarget() = default;
    virtual void apply(const Change& change, bool forwards) = 0;
};

class UndoJournal {
public:
    bool recording() const { return depth_ > 0; }
    int depth() const { return depth_; }

    // Opens a (possibly nested) scope; returns the mark to roll back to.
    size_t open(const std::string& name);
    void record(Change change);
    // Closes the innermost scope. On failure the changes since its mark are
    // undone through target. Closing the outermost scope successfully files
    // the step in the history and clears what could be redone.
    void close(size_t mark, bool succeeded, ChangeTarget& target);

    bool undo(ChangeTarget& target);
    bool redo(ChangeTarget& target);

    void clearHistory() {
        done_.clear();
        undone_.clear();
    }

    const std::vector<UndoStep>& done() const { return done_; }
    const std::vector<UndoStep>& undone() const { return undone_; }

private:
    static void rollBack(std::vector<Change>& changes, size_t mark, ChangeTarget& target);
    int depth_ = 0;
    UndoStep current_;
    std::vector<UndoStep> done_;
    std::vector<UndoStep> undone_;
};

}  // namespace kl::host
