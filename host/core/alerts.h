#pragma once
// The host's modal alerts. An alert takes the next answer a test scripted;
// otherwise, when a user is there to answer, it stays open until the page
// answers it; otherwise it is closed without a button. Every alert is kept,
// with its answer, so tests can read what the user was told. Main thread only.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kl::host {

struct AlertRecord {
    int32_t kind = 0;
    std::string title;
    std::string text;
    std::vector<std::string> buttons;  // three slots, "" for a button left out
    std::optional<int32_t> pressed;   // unset while the alert is open
    bool scripted = false;
};

class AlertDesk {
public:
    // Answers (button numbers, 0 for closing) for the next alerts, in order.
    void script(std::vector<int32_t> answers);
    // Opens an alert, answered at once when a scripted answer waits. Returns its number.
    size_t open(AlertRecord alert);
    bool answered(size_t id) const { return alerts_[id].pressed.has_value(); }
    // The user presses a button of the latest open alert; false when there
    // is none or it has no such button.
    bool answer(int32_t button);
    // Closes an alert nobody answered; returns the button pressed.
    int32_t close(size_t id);

    const std::vector<AlertRecord>& all() const { return alerts_; }
    nlohmann::json toJson() const;

private:
    std::vector<AlertRecord> alerts_;
    std::vector<size_t> openIds_;
    std::deque<int32_t> scripted_;
};

}  // namespace kl::host
