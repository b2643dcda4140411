#pragma once
// Faults armed by tests: the n-th call of a host function fails with a given
// code, and georeference writes that fill certain fields are refused.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct FaultRule {
    std::string function;
    int64_t nth = 1;       // 1: the next call
    KlErr code = KL_ERR_GENERAL;
    bool sticky = false;   // also every call after the n-th
    int64_t calls = 0;
};

class FaultPlan {
public:
    void arm(FaultRule rule);
    void clear();
    // Counts the call; the error to return instead of running it, if armed.
    std::optional<KlErr> check(std::string_view function);

    void refuseGeoFields(std::vector<std::string> fields);
    bool refusesGeo(const KlGeoLocation& g) const;

    nlohmann::json describe() const;

private:
    mutable std::mutex mutex_;
    std::vector<FaultRule> rules_;
    std::vector<std::string> geoFields_;
};

}  // namespace kl::host
