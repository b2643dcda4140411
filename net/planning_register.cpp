#include "net/planning_register.h"

#include "geodata/gml_parser.h"
#include "net/body_kind.h"
#include "net/url_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <thread>

namespace kl::net {
namespace {

using nlohmann::json;

constexpr int kAttempts = 3;
constexpr std::string_view kQueryPath = "/api/public/published/query";
constexpr std::string_view kActPath = "/api/public/published/";

// Statuses of acts no longer in force: such a plan is never drawn as the
// commune's plan, whatever else the answer holds.
constexpr std::array<std::string_view, 2> kExpiredStatuses = {"nieaktualny", "nieobowiązujący"};

int pauseAfterAttempt(int attempt) { return attempt * 550 + 350; }

// A field as text: strings as they are, whole numbers in decimal, anything
// else (absent, null, objects, fractions) as no value.
std::string fieldText(const json& entry, const char* key) {
    const auto it = entry.find(key);
    if (it == entry.end()) return {};
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number_unsigned()) return std::to_string(it->get<std::uint64_t>());
    if (it->is_number_integer()) return std::to_string(it->get<std::int64_t>());
    return {};
}

std::string registerUrl(std::string_view path) { return std::string(kPlanningRegisterHost) + std::string(path); }

// Runs an exchange up to three times, pausing between attempts, until
// accept() finds nothing wrong (it returns the reason otherwise).
template <class Exchange, class Accept>
std::string attempt(Exchange exchange, Accept accept, const RegisterWait& wait) {
    std::string reason;
    for (int i = 0; i < kAttempts; ++i) {
        if (i > 0 && wait) wait(pauseAfterAttempt(i - 1));
        reason = accept(exchange());
        if (reason.empty()) return {};
    }
    return reason;
}

ActsPage parseActs(const std::string& body) {
    ActsPage page;
    const json doc = json::parse(body, nullptr, false);
    const auto list = doc.is_object() ? doc.find("publishedActs") : doc.end();
    if (doc.is_discarded() || !doc.is_object() || list == doc.end() || !list->is_array()) {
        page.error = "odpowiedz Rejestru Urbanistycznego nie jest lista aktow";
        return page;
    }
    for (const json& entry : *list) {
        if (!entry.is_object()) {
            ++page.refusedEntries;
            continue;
        }
        page.acts.push_back({fieldText(entry, "publishedActId"), fieldText(entry, "title"), fieldText(entry, "planType"),
                             fieldText(entry, "spatialPlanningActStatus"), fieldText(entry, "publishDate"),
                             fieldText(entry, "tercCode")});
    }
    return page;
}

}  // namespace

void sleepBeforeRetry(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string registerQueryBody(const RegisterQuery& q) {
    const json nothing = nullptr;
    json criteria = {{"query", nothing},
                     {"parcelIdentifier", q.parcel ? json(*q.parcel) : nothing},
                     {"statusList", json::array()},
                     {"publishedActVersions", "CURRENT"},
                     {"tercCodeList", q.teryt.empty() ? nothing : json::array({q.teryt})},
                     {"publishDateFrom", nothing},
                     {"publishDateTo", nothing},
                     {"planValidFrom", nothing},
                     {"planValidTo", nothing},
                     {"planTypeList", q.planTypes},
                     {"plansGroup", "ALL"},
                     {"levelList", json::array()}};
    const json body = {{"criteria", std::move(criteria)},
                       {"page", {{"number", q.page}, {"size", kRegisterPageSize},
                                 {"sort", {{"sortBy", "publishDate"}, {"direction", "desc"}}}}}};
    // nlohmann's object keeps its keys sorted; bytes that are not UTF-8 are
    // replaced rather than thrown on.
    return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

ActsPage queryPublishedActs(WfsClient& client, const RegisterQuery& query, const RegisterWait& wait) {
    const std::string url = registerUrl(kQueryPath);
    const std::string body = registerQueryBody(query);
    std::string accepted;
    const std::string reason = attempt(
        [&] { return client.postJson(url, body); },
        [&](HttpResponse r) -> std::string {
            if (!r.ok) return failureReason(r.status, r.error);
            if (r.body.size() > kMaxRegisterAnswerBytes)
                return "odpowiedz zbyt duza (" + formatSize(static_cast<std::int64_t>(r.body.size())) + ")";
            if (r.body.size() < 15 || r.body.find("\"publishedActs\"") == std::string::npos)
                return "odpowiedz bez listy aktow";
            accepted = std::move(r.body);
            return {};
        },
        wait);
    if (!reason.empty()) return {{}, 0, reason};
    return parseActs(accepted);
}

ActsPage queryGeneralPlans(WfsClient& client, const std::string& teryt, const RegisterWait& wait) {
    ActsPage all;
    RegisterQuery query;
    query.teryt = teryt;
    query.planTypes = {std::string(kGeneralPlanType)};
    for (query.page = 1; query.page <= kMaxRegisterPages; ++query.page) {
        ActsPage page = queryPublishedActs(client, query, wait);
        all.refusedEntries += page.refusedEntries;
        if (!page.error.empty()) {
            // Acts of earlier pages are kept: a later page failing must not
            // hide a plan already found, but it is said.
            all.error = std::move(page.error);
            break;
        }
        const std::size_t count = page.acts.size() + static_cast<std::size_t>(page.refusedEntries);
        std::move(page.acts.begin(), page.acts.end(), std::back_inserter(all.acts));
        if (count < static_cast<std::size_t>(kRegisterPageSize)) break;
    }
    return all;
}

std::optional<PublishedAct> selectAct(const std::vector<PublishedAct>& acts, std::string_view planType) {
    const auto expired = [](const PublishedAct& a) {
        return std::find(kExpiredStatuses.begin(), kExpiredStatuses.end(), a.status) != kExpiredStatuses.end();
    };
    const std::function<bool(const PublishedAct&)> passes[] = {
        [](const PublishedAct& a) { return a.status == kStatusInForce; },
        [](const PublishedAct& a) { return a.status == kStatusBeingAdopted; },
        [](const PublishedAct& a) { return a.status == kStatusInPreparation; },
        [&](const PublishedAct& a) { return !expired(a); },
    };
    for (const auto& admits : passes) {
        const PublishedAct* best = nullptr;
        for (const PublishedAct& a : acts)
            if (a.planType == planType && admits(a) && (!best || a.publishDate > best->publishDate)) best = &a;
        if (best) return *best;
    }
    return std::nullopt;
}

ActFeatures downloadActFeatures(WfsClient& client, const std::string& actId, geo::DataType type,
                                const RegisterWait& wait) {
    ActFeatures out;
    if (!isDigitsOnly(actId)) {
        out.error = "Rejestr podal nieprawidlowy identyfikator aktu";
        return out;
    }
    const std::string url = registerUrl(std::string(kActPath) + actId + "/download");
    std::string accepted;
    out.error = attempt(
        [&] { return client.request("GET", url, {}, {}, client.timings().defaultReceiveTimeoutMs); },
        [&](HttpResponse r) -> std::string {
            if (!r.ok) return failureReason(r.status, r.error);
            if (r.body.empty()) return "pusta odpowiedz";
            // A maintenance page or an exception report may pass; it is not the act.
            if (std::string why = wholeBodyMismatch(ExpectedBody::Xml, r.body); !why.empty()) return why;
            accepted = std::move(r.body);
            return {};
        },
        wait);
    if (!out.error.empty()) return out;
    geo::GmlParseResult parsed = geo::GmlParser::parseOwned(std::move(accepted), type);
    if (!parsed.ok()) {
        out.error = "pobrany plik nie jest poprawnym GML (" + parsed.message + ")";
        return out;
    }
    out.features = std::move(parsed.features);
    out.warnings = std::move(parsed.warnings);
    return out;
}

}  // namespace kl::net
