#include "tests/settings/fake_host.h"

#include <cstring>

namespace kl::testing {
namespace {

FakeGeoHost* live = nullptr;

KlErr getGeo(KlGeoLocation* out) {
    if (live->readError != KL_NOERROR) return live->readError;
    *out = live->record;
    return KL_NOERROR;
}

KlErr setGeo(const KlGeoLocation* in) {
    const std::size_t n = live->writes.size();
    live->writes.push_back(*in);
    const KlErr err = n < live->writeErrors.size() ? live->writeErrors[n] : KL_NOERROR;
    if (err == KL_NOERROR) live->record = *in;
    return err;
}

KlErr writeReport(const char* message, int32_t) {
    live->reports.emplace_back(message);
    return KL_NOERROR;
}

KlErr listAttributes(int32_t type, KlAttributeVisitor visitor, void* ctx) {
    if (type != KL_ATTR_LAYER) return KL_NOERROR;
    int32_t index = 1;
    for (const auto& name : live->layers) {
        KlAttribute a{};
        a.type = KL_ATTR_LAYER;
        a.index = index++;
        std::strncpy(a.name, name.c_str(), KL_NAME_MAX);
        visitor(ctx, &a);
    }
    return KL_NOERROR;
}

}  // namespace

FakeGeoHost::FakeGeoHost() {
    live = this;
    table_.apiVersion = KL_HOST_API_VERSION;
    table_.structSize = static_cast<int32_t>(sizeof(KlHostFunctions));
    table_.GetGeoLocation = getGeo;
    table_.SetGeoLocation = setGeo;
    table_.WriteReport = writeReport;
    table_.ListAttributes = listAttributes;
}

FakeGeoHost::~FakeGeoHost() { live = nullptr; }

}  // namespace kl::testing
