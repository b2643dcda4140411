#include "host/core/undo_journal.h"

namespace kl::host {

size_t UndoJournal::open(const std::string& name) {
    if (depth_++ == 0) current_ = UndoStep{name, {}};
    return current_.changes.size();
}

void UndoJournal::record(Change change) {
    if (depth_ > 0) current_.changes.push_back(std::move(change));
}

void UndoJournal::rollBack(std::vector<Change>& changes, size_t mark, ChangeTarget& target) {
    while (changes.size() > mark) {
        target.apply(changes.back(), false);
        changes.pop_back();
    }
}

void UndoJournal::close(size_t mark, bool succeeded, ChangeTarget& target) {
    if (depth_ == 0) return;
    if (!succeeded) rollBack(current_.changes, mark, target);
    if (--depth_ > 0) return;
    if (succeeded) {
        done_.push_back(std::move(current_));
        undone_.clear();
    }
    current_ = UndoStep{};
}

bool UndoJournal::undo(ChangeTarget& target) {
    if (depth_ > 0 || done_.empty()) return false;
    UndoStep step = std::move(done_.back());
    done_.pop_back();
    for (auto it = step.changes.rbegin(); it != step.changes.rend(); ++it) target.apply(*it, false);
    undone_.push_back(std::move(step));
    return true;
}

bool UndoJournal::redo(ChangeTarget& target) {
    if (depth_ > 0 || undone_.empty()) return false;
    UndoStep step = std::move(undone_.back());
    undone_.pop_back();
    for (const auto& c : step.changes) target.apply(c, true);
    done_.push_back(std::move(step));
    return true;
}

}  // namespace kl::host
