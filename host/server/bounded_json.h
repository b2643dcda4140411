#pragma once
// Request bodies parsed with a bound on nesting. A parsed tree costs many
// times its text, most of all for "[[[[..."; the workbench stands in for a
// host application, so it guards itself rather than borrowing the add-on's check.
#include <nlohmann/json.hpp>

#include <string_view>

namespace kl::host {

inline constexpr int kMaxBodyNesting = 64;

// The parsed body, or a discarded value when the text is not JSON or nests
// deeper than kMaxBodyNesting (nothing below that depth is ever kept).
inline nlohmann::json parseBoundedJson(std::string_view text) {
    bool tooDeep = false;
    const nlohmann::json::parser_callback_t keepShallow = [&](int depth, nlohmann::json::parse_event_t,
                                                               nlohmann::json&) {
        if (depth > kMaxBodyNesting) tooDeep = true;
        return !tooDeep;
    };
    nlohmann::json parsed = nlohmann::json::parse(text, keepShallow, false);
    return tooDeep ? nlohmann::json(nlohmann::json::value_t::discarded) : parsed;
}

}  // namespace kl::host
