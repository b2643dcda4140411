#include "tools/geoportal/service_request.h"

#include "tools/geoportal/text_util.h"

namespace kl::geoportal {

std::string ServiceRequest::param(std::string_view key) const {
    for (const auto& [k, v] : params)
        if (iequals(k, key)) return v;
    return {};
}

bool ServiceRequest::has(std::string_view key) const {
    for (const auto& [k, v] : params)
        if (iequals(k, key)) return true;
    return false;
}

std::string ServiceRequest::urlWith(std::string_view key, std::string_view value) const {
    std::string url = selfUrl;
    char sep = '?';
    bool replaced = false;
    for (const auto& [k, v] : params) {
        url += sep;
        sep = '&';
        if (iequals(k, key)) {
            url += std::string(key) + "=" + urlEncode(value);
            replaced = true;
        } else {
            url += k + "=" + urlEncode(v);
        }
    }
    if (!replaced) url += sep + std::string(key) + "=" + urlEncode(value);
    return url;
}

std::string ServiceRequest::serverBase() const {
    const auto scheme = selfUrl.find("://");
    if (scheme == std::string::npos) return {};
    return selfUrl.substr(0, selfUrl.find('/', scheme + 3));
}

Reply notFoundReply() {
    return {404, "text/html; charset=UTF-8",
            "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n"};
}

}  // namespace kl::geoportal
