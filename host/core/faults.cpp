#include "host/core/faults.h"

namespace kl::host {

void FaultPlan::arm(FaultRule rule) {
    std::lock_guard lock(mutex_);
    rule.calls = 0;
    rules_.push_back(std::move(rule));
}

void FaultPlan::clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
    geoFields_.clear();
}

std::optional<KlErr> FaultPlan::check(std::string_view function) {
    std::lock_guard lock(mutex_);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->function != function) continue;
        const int64_t call = ++it->calls;
        if (call < it->nth) return std::nullopt;
        const KlErr code = it->code;
        if (!it->sticky) rules_.erase(it);
        return code;
    }
    return std::nullopt;
}

void FaultPlan::refuseGeoFields(std::vector<std::string> fields) {
    std::lock_guard lock(mutex_);
    geoFields_ = std::move(fields);
}

bool FaultPlan::refusesGeo(const KlGeoLocation& g) const {
    std::lock_guard lock(mutex_);
    for (const auto& f : geoFields_) {
        const char* value = f == "crsName"          ? g.crsName
                            : f == "crsDescription" ? g.crsDescription
                            : f == "geodeticDatum"  ? g.geodeticDatum
                            : f == "verticalDatum"  ? g.verticalDatum
                            : f == "mapProjection"  ? g.mapProjection
                            : f == "mapZone"        ? g.mapZone
                                                    : nullptr;
        if (value && value[0] != '\0') return true;
        if (f == "location" && g.hasLocation) return true;
    }
    return false;
}

nlohmann::json FaultPlan::describe() const {
    std::lock_guard lock(mutex_);
    nlohmann::json rules = nlohmann::json::array();
    for (const auto& r : rules_)
        rules.push_back({{"function", r.function}, {"nth", r.nth}, {"code", r.code}, {"sticky", r.sticky},
                         {"calls", r.calls}});
    return {{"rules", rules}, {"geoRefuse", geoFields_}};
}

}  // namespace kl::host
