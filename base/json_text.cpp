#include "base/json_text.h"

namespace kl {

std::string toScriptSafeJson(const nlohmann::json& value) {
    const std::string ascii = value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
    // With ensure_ascii these three can only occur inside string literals.
    std::string out;
    out.reserve(ascii.size() + 16);
    for (const char c : ascii) {
        switch (c) {
            case '<': out += "\\u003c"; break;
            case '>': out += "\\u003e"; break;
            case '&': out += "\\u0026"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace kl
