#pragma once
// A host function table whose geo-location and report calls are scripted by
// the test. Only one instance is live at a time (the table holds plain C
// function pointers).
#include <string>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::testing {

struct FakeGeoHost {
    KlGeoLocation record{};
    KlErr readError = KL_NOERROR;
    // Error of the n-th SetGeoLocation call; calls past the end succeed.
    std::vector<KlErr> writeErrors;
    std::vector<KlGeoLocation> writes;  // every record passed to SetGeoLocation
    std::vector<std::string> reports;
    std::vector<std::string> layers;    // for ListAttributes(KL_ATTR_LAYER)

    FakeGeoHost();
    ~FakeGeoHost();
    FakeGeoHost(const FakeGeoHost&) = delete;
    FakeGeoHost& operator=(const FakeGeoHost&) = delete;

    const KlHostFunctions* table() const { return &table_; }

private:
    KlHostFunctions table_{};
};

}  // namespace kl::testing
