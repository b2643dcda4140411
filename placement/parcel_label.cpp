#include "placement/parcel_label.h"

#include <cctype>
#include <functional>

namespace kl::placement {
namespace {

std::string lower(const std::string& s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

}  // namespace

std::string parcelNumber(const std::map<std::string, std::string>& properties) {
    const std::function<bool(const std::string&)> passes[] = {
        [](const std::string& k) { return has(k, "dzial") && (has(k, "numer") || has(k, "nr")); },
        [](const std::string& k) { return has(k, "ident") || (has(k, "id") && has(k, "dzial")); },
        [](const std::string& k) {
            return has(k, "numer") && !has(k, "arkusz") && !has(k, "obreb") && !has(k, "jednost") && !has(k, "rejestr");
        },
    };
    for (const auto& pass : passes) {
        for (const auto& [key, value] : properties) {
            if (value.empty() || !pass(lower(key))) continue;
            const auto dot = value.rfind('.');
            if (dot != std::string::npos && dot + 1 < value.size()) return value.substr(dot + 1);
            return value;
        }
    }
    return {};
}

}  // namespace kl::placement
