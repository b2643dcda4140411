#include "net/sheet_index_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

namespace kl::net {
namespace {
constexpr std::string_view kUrlTag = "gugik:url_do_pobrania>";
constexpr std::string_view kMemberOpen = "<wfs:member";
constexpr std::string_view kMemberClose = "</wfs:member";
constexpr std::string_view kCollection = "FeatureCollection";

std::string_view trim(std::string_view s) {
    const auto ws = " \t\r\n";
    const auto b = s.find_first_not_of(ws);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

}  // namespace

std::string indexElementText(std::string_view text, size_t from, std::string_view name, size_t to) {
    if (to > text.size()) to = text.size();
    if (from >= to) return {};
    const std::string_view range = text.substr(0, to);
    std::string open = "gugik:";
    open.append(name);
    open.push_back('>');
    const auto tag = range.find(open, from);
    if (tag == std::string_view::npos) return {};
    const auto start = tag + open.size();
    auto end = range.find("</gugik:", start);
    if (end == std::string_view::npos) end = range.size();
    return std::string(trim(range.substr(start, end - start)));
}

void forEachIndexMember(std::string_view text, const std::function<void(const IndexMember&)>& visit) {
    size_t pos = 0;
    while (true) {
        const auto found = text.find(kUrlTag, pos);
        if (found == std::string_view::npos) return;
        IndexMember m;
        const auto open = text.rfind(kMemberOpen, found);
        m.start = open == std::string_view::npos ? 0 : open;
        m.urlTag = found;
        m.end = std::min({text.find(kMemberClose, found), text.find(kMemberOpen, found), text.size()});
        visit(m);
        pos = found + kUrlTag.size();
    }
}

double leadingDecimal(std::string_view text) {
    text = trim(text);
    std::string s(text.substr(0, 64));
    for (auto& c : s)
        if (c == ',') c = '.';
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    // "nan", "inf" and 1e400 parse too; a density must be a plain number.
    return r.ec == std::errc() && std::isfinite(v) && v >= 0 ? v : 0.0;
}

bool isWholeFeatureCollection(std::string_view answer) {
    const auto open = answer.find(kCollection);
    if (open == std::string_view::npos || answer.substr(0, open).find("Exception") != std::string_view::npos) return false;
    const std::string_view body = trim(answer);
    const auto close = body.rfind("</");
    if (close == std::string_view::npos || close < open) return false;
    const std::string_view last = body.substr(close);
    return last.back() == '>' && last.find(kCollection) != std::string_view::npos;
}

int currentUtcYear() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return utc.tm_year + 1900;
}

std::string indexAnswerProblem(const HttpResponse& response) {
    if (!response.error.empty()) return response.error;
    if (response.status != 200) return "status " + std::to_string(response.status);
    if (!isWholeFeatureCollection(response.body)) return "odpowiedz niepelna lub raport bledu serwera";
    return {};
}

bool indexLayerNotOffered(const HttpResponse& response) {
    if (!response.error.empty()) return false;
    if (response.status >= 400 && response.status <= 499) return true;
    return response.body.find("ExceptionReport") != std::string::npos &&
           response.body.find("\"InvalidParameterValue\"") != std::string::npos;
}

}  // namespace kl::net
