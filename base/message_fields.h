#pragma once
// The JSON kind of every field the pages send, by the field's name: a name has
// one kind in every message. The bridge checks a message against it before any
// handler reads a field, so a field of the wrong kind is refused in Polish and
// by its name, whichever handler the message is for.
#include <string>

#include <nlohmann/json.hpp>

namespace kl {

// The Polish refusal for the first known field of the wrong kind, or empty.
std::string wrongFieldKind(const nlohmann::json& message);

}  // namespace kl
