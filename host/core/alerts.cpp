#include "host/core/alerts.h"

#include <algorithm>

namespace kl::host {
namespace {

bool hasButton(const AlertRecord& a, int32_t button) {
    return button == 0 || (button >= 1 && button <= 3 && !a.buttons[static_cast<size_t>(button) - 1].empty());
}

}  // namespace

void AlertDesk::script(std::vector<int32_t> answers) { scripted_.insert(scripted_.end(), answers.begin(), answers.end()); }

size_t AlertDesk::open(AlertRecord alert) {
    alert.buttons.resize(3);
    if (std::all_of(alert.buttons.begin(), alert.buttons.end(), [](const std::string& b) { return b.empty(); }))
        alert.buttons[0] = "OK";
    if (!scripted_.empty()) {
        // A scripted answer naming a missing button closes the alert instead.
        const int32_t next = scripted_.front();
        scripted_.pop_front();
        alert.pressed = hasButton(alert, next) ? next : 0;
        alert.scripted = true;
    }
    alerts_.push_back(std::move(alert));
    const size_t id = alerts_.size() - 1;
    if (!answered(id)) openIds_.push_back(id);
    return id;
}

bool AlertDesk::answer(int32_t button) {
    if (openIds_.empty()) return false;
    AlertRecord& a = alerts_[openIds_.back()];
    if (!hasButton(a, button)) return false;
    a.pressed = button;
    openIds_.pop_back();
    return true;
}

int32_t AlertDesk::close(size_t id) {
    AlertRecord& a = alerts_[id];
    if (!a.pressed) a.pressed = 0;
    openIds_.erase(std::remove(openIds_.begin(), openIds_.end(), id), openIds_.end());
    return *a.pressed;
}

nlohmann::json AlertDesk::toJson() const {
    using J = nlohmann::json;
    J list = J::array();
    for (const AlertRecord& a : alerts_)
        list.push_back({{"id", list.size()}, {"kind", a.kind}, {"title", a.title}, {"text", a.text}, {"buttons", a.buttons},
                        {"pressed", a.pressed ? J(*a.pressed) : J()}, {"scripted", a.scripted}});
    return {{"open", openIds_.empty() ? J() : list[openIds_.back()]}, {"shown", list},
            {"scriptedLeft", scripted_.size()}};
}

}  // namespace kl::host
