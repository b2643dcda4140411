#include "tools/geoportal/plan_acts.h"
#include "tools/geoportal/service_family.h"
#include "tools/geoportal/text_util.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace kl::geoportal {
namespace {

using nlohmann::json;

constexpr const char* kJson = "application/json; charset=UTF-8";
constexpr long long kMaxPageSize = 100;
constexpr std::string_view kQueryPath = "/api/public/published/query";
constexpr std::string_view kActPrefix = "/api/public/published/";
constexpr std::string_view kDownloadSuffix = "/download";

Reply jsonError(int status, const std::string& message) {
    return {status, kJson, json{{"status", status}, {"message", message}}.dump()};
}

json actJson(const PlanAct& a) {
    return {{"publishedActId", a.id},
            {"title", a.title},
            {"planType", a.planType},
            {"planTypeDescription", a.planTypeDescription},
            {"spatialPlanningActStatus", a.status},
            {"publishDate", a.publishDate},
            {"validFrom", a.validFrom.empty() ? json(nullptr) : json(a.validFrom)},
            {"validTo", a.validTo.empty() ? json(nullptr) : json(a.validTo)},
            {"tercCode", a.tercCode},
            {"commune", a.commune},
            {"district", a.district}};
}

// A criterion list: null or absent admits everything, otherwise the texts.
bool admitted(const json& criteria, const char* key, const std::string& value) {
    const auto it = criteria.find(key);
    if (it == criteria.end() || it->is_null()) return true;
    if (!it->is_array() || it->empty()) return true;
    return std::any_of(it->begin(), it->end(), [&](const json& v) { return v.is_string() && v.get<std::string>() == value; });
}

Reply query(const ServiceRequest& req) {
    if (req.method != "POST") return jsonError(405, "Method Not Allowed");
    const json body = json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) return jsonError(400, "Malformed JSON request");
    const json criteria = body.value("criteria", json::object());
    const json page = body.value("page", json::object());
    if (!criteria.is_object() || !page.is_object()) return jsonError(400, "criteria and page must be objects");
    const long long number = page.value("number", 1ll);
    const long long size = page.value("size", 10ll);
    if (number < 1 || size < 1 || size > kMaxPageSize) return jsonError(400, "Invalid page");

    std::vector<const PlanAct*> matching;
    for (const PlanAct& a : planActs())
        if (admitted(criteria, "tercCodeList", a.tercCode) && admitted(criteria, "planTypeList", a.planType))
            matching.push_back(&a);
    std::stable_sort(matching.begin(), matching.end(),
                     [](const PlanAct* x, const PlanAct* y) { return x->publishDate > y->publishDate; });
    json acts = json::array();
    const auto total = static_cast<long long>(matching.size());
    for (long long i = (number - 1) * size; i < std::min(total, number * size); ++i)
        acts.push_back(actJson(*matching[static_cast<std::size_t>(i)]));
    return {200, kJson,
            json{{"publishedActs", std::move(acts)},
                 {"totalElements", total},
                 {"totalPages", (total + size - 1) / size},
                 {"pageNumber", number}}
                .dump()};
}

Reply download(const ServiceRequest& req) {
    const std::string id =
        req.path.substr(kActPrefix.size(), req.path.size() - kActPrefix.size() - kDownloadSuffix.size());
    const auto number = parseInt(id);
    const PlanAct* act = number ? findPlanAct(*number) : nullptr;
    std::string gml = act ? actZonesGml(*act, samplesDir()) : std::string();
    if (gml.empty()) return jsonError(404, "No spatial data for act " + id);
    return {200, "application/gml+xml; charset=UTF-8", std::move(gml)};
}

}  // namespace

// The national planning register's public API for the demo communes: the
// query of published acts (POST, paged) and the download of one act's data.
ServiceFamily planningRegisterFamily() {
    ServiceFamily f;
    f.name = "rejestr-urbanistyczny";
    f.title = "Rejestr Urbanistyczny";
    f.pathPatterns = {R"(^/api/public/published/query$)", R"(^/api/public/published/[^/]+/download$)"};
    f.handler = [](const ServiceRequest& req) { return req.path == kQueryPath ? query(req) : download(req); };
    return f;
}

}  // namespace kl::geoportal
