#include "tools/geoportal/faults.h"

#include "tools/geoportal/text_util.h"

namespace kl::geoportal {

std::optional<Fault> parseFault(std::string_view kind, std::string_view status, std::string_view delayMs) {
    Fault f;
    const std::string k = toLower(kind);
    if (k == "404") {
        f.kind = FaultKind::NotFound;
        f.status = 404;
    } else if (k == "5xx" || (k.size() == 3 && parseInt(k))) {
        f.kind = FaultKind::Status;
        f.status = k == "5xx" ? 500 : static_cast<int>(*parseInt(k));
        if (auto s = parseInt(status)) f.status = static_cast<int>(*s);
        if (f.status < 100 || f.status > 599) return std::nullopt;
    } else if (k == "slow") {
        f.kind = FaultKind::Slow;
        if (!delayMs.empty()) {
            auto ms = parseInt(delayMs);
            if (!ms || *ms < 0 || *ms > 600000) return std::nullopt;
            f.delayMs = static_cast<int>(*ms);
        }
    } else if (k == "truncate") {
        f.kind = FaultKind::Truncate;
    } else if (k == "wrongtype") {
        f.kind = FaultKind::WrongType;
    } else if (k == "html") {
        f.kind = FaultKind::Html;
    } else if (k == "exception") {
        f.kind = FaultKind::Exception;
    } else if (k == "empty") {
        f.kind = FaultKind::Empty;
    } else if (k == "reset") {
        f.kind = FaultKind::Reset;
    } else if (k == "cut") {
        f.kind = FaultKind::Cut;
    } else {
        return std::nullopt;
    }
    return f;
}

std::string faultName(const Fault& fault) {
    switch (fault.kind) {
        case FaultKind::Status: return formatInt(fault.status);
        case FaultKind::NotFound: return "404";
        case FaultKind::Slow: return "slow";
        case FaultKind::Truncate: return "truncate";
        case FaultKind::WrongType: return "wrongtype";
        case FaultKind::Html: return "html";
        case FaultKind::Exception: return "exception";
        case FaultKind::Empty: return "empty";
        case FaultKind::Reset: return "reset";
        case FaultKind::Cut: return "cut";
    }
    return {};
}

void FaultTable::add(FaultRule rule) {
    std::lock_guard lock(mutex_);
    rules_.push_back(std::move(rule));
}

void FaultTable::clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
}

std::optional<Fault> FaultTable::take(std::string_view path, std::string_view target) {
    std::lock_guard lock(mutex_);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (!it->pathPrefix.empty() && path.substr(0, it->pathPrefix.size()) != it->pathPrefix) continue;
        if (!it->contains.empty() && !icontains(target, it->contains)) continue;
        Fault f = it->fault;
        if (it->remaining > 0 && --it->remaining == 0) rules_.erase(it);
        return f;
    }
    return std::nullopt;
}

std::string FaultTable::describeJson() const {
    std::lock_guard lock(mutex_);
    std::string out = "[";
    for (size_t i = 0; i < rules_.size(); ++i) {
        const auto& r = rules_[i];
        if (i) out += ",";
        out += "{\"kind\":\"" + faultName(r.fault) + "\",\"path\":\"" + jsonEscape(r.pathPrefix) + "\",\"match\":\"" +
               jsonEscape(r.contains) + "\",\"remaining\":" + formatInt(r.remaining) + "}";
    }
    return out + "]";
}

}  // namespace kl::geoportal
