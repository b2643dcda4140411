#include "tools/geoportal/request_log.h"

#include "tools/geoportal/text_util.h"

namespace kl::geoportal {

void RequestLog::add(LoggedRequest entry) {
    std::lock_guard lock(mutex_);
    entry.sequence = next_++;
    entries_.push_back(std::move(entry));
}

void RequestLog::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::vector<LoggedRequest> RequestLog::snapshot() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::string RequestLog::toJson(std::string_view pathPrefix) const {
    std::lock_guard lock(mutex_);
    std::string out = "[";
    bool first = true;
    for (const auto& e : entries_) {
        if (e.path.compare(0, pathPrefix.size(), pathPrefix) != 0) continue;
        if (!first) out += ",";
        first = false;
        out += "{\"seq\":" + formatInt(e.sequence) + ",\"method\":\"" + jsonEscape(e.method) + "\",\"path\":\"" +
               jsonEscape(e.path) + "\",\"target\":\"" + jsonEscape(e.target) + "\",\"status\":" + formatInt(e.status) +
               ",\"fault\":\"" + jsonEscape(e.fault) + "\",\"params\":{";
        for (size_t i = 0; i < e.params.size(); ++i) {
            if (i) out += ",";
            out += "\"" + jsonEscape(e.params[i].first) + "\":\"" + jsonEscape(e.params[i].second) + "\"";
        }
        out += "}}";
    }
    return out + "]";
}

}  // namespace kl::geoportal
