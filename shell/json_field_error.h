#pragma once
// A JSON access that failed inside a message handler, told to the page in
// Polish and by the name of the field, never in the library's words.
#include <string>

#include <nlohmann/json.hpp>

namespace kl {

std::string fieldErrorText(const nlohmann::json::exception& e);

}  // namespace kl
