#pragma once
// Text form of the JSON that goes into a page's script.
#include <string>

#include <nlohmann/json.hpp>

namespace kl {

// Compact, pure-ASCII JSON: every non-ASCII character as \uXXXX (surrogate
// pairs above U+FFFF), invalid UTF-8 replaced by U+FFFD instead of throwing,
// and '<', '>', '&' escaped as well, so the text can be pasted into a script
// (even inside an HTML script element) without closing it. Never throws
// except std::bad_alloc.
std::string toScriptSafeJson(const nlohmann::json& value);

}  // namespace kl
