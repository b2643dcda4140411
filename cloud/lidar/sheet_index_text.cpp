#include "cloud/lidar/sheet_index_text.h"

#include <charconv>

namespace kl::cloud {
namespace {
constexpr std::string_view kUrlTag = "gugik:url_do_pobrania>";

std::string_view trim(std::string_view s) {
    const auto ws = " \t\r\n";
    const auto b = s.find_first_not_of(ws);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}
}  // namespace

std::string indexElementText(std::string_view text, size_t from, std::string_view name) {
    if (from > text.size()) return {};
    std::string open = "gugik:";
    open.append(name);
    open.push_back('>');
    const auto tag = text.find(open, from);
    if (tag == std::string_view::npos) return {};
    const auto start = tag + open.size();
    auto end = text.find("</gugik:", start);
    if (end == std::string_view::npos) end = text.size();
    return std::string(trim(text.substr(start, end - start)));
}

void forEachIndexMember(std::string_view text, const std::function<void(size_t, size_t)>& visit) {
    size_t pos = 0;
    while (true) {
        const auto found = text.find(kUrlTag, pos);
        if (found == std::string_view::npos) return;
        const auto member = text.rfind("<wfs:member", found);
        visit(member == std::string_view::npos ? 0 : member, found);
        pos = found + 20;
    }
}

double leadingDecimal(std::string_view text) {
    text = trim(text);
    std::string s(text.substr(0, 64));
    for (auto& c : s)
        if (c == ',') c = '.';
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() ? v : 0.0;
}

}  // namespace kl::cloud
