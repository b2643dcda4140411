#include "net/osm_width.h"

#include <charconv>
#include <optional>
#include <string>

namespace kl::net {
namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// "7", "7.5", "7,5", "7 m", "7m"; nothing else (feet, ranges, lists).
std::optional<double> metres(std::string_view tag) {
    std::string text(trimmed(tag));
    if (text.size() > 1 && text.back() == 'm') text = std::string(trimmed(text.substr(0, text.size() - 1)));
    if (const auto comma = text.find(','); comma != std::string::npos) text[comma] = '.';
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<int> whole(std::string_view tag) {
    const std::string_view text = trimmed(tag);
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

struct ClassWidth {
    std::string_view cls;
    double width;
};

constexpr ClassWidth kClassWidths[] = {
    {"motorway", 14.0},   {"trunk", 14.0},       {"primary", 10.0},      {"secondary", 8.0},    {"tertiary", 7.0},
    {"residential", 6.0}, {"unclassified", 6.0}, {"living_street", 6.0}, {"tram", 3.0},         {"rail", 3.0},
    {"cycleway", 2.5},    {"path", 2.5},         {"footway", 2.0},       {"pedestrian", 2.0},   {"steps", 2.0},
};

}  // namespace

double osmWidth(std::string_view cls, std::string_view widthTag, std::string_view lanesTag, bool bridge) {
    if (const auto w = metres(widthTag); w && *w > 0.5 && *w < 60.0) return *w;
    if (const auto lanes = whole(lanesTag); lanes && *lanes >= 1 && *lanes <= 12) return *lanes * 3.5 + 1.0;
    for (const ClassWidth& c : kClassWidths)
        if (c.cls == cls) return c.width;
    return bridge ? 6.0 : 5.0;
}

}  // namespace kl::net
