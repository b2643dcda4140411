#include "shell/json_field_error.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kl {
namespace {

// "/bbox/2/x" (a JSON pointer) as "bbox[2].x".
std::string fieldName(std::string_view pointer) {
    std::string name;
    while (!pointer.empty()) {
        pointer.remove_prefix(1);
        const size_t end = pointer.find('/');
        std::string token(pointer.substr(0, end));
        pointer = end == std::string_view::npos ? std::string_view() : pointer.substr(end);
        for (size_t at; (at = token.find("~1")) != std::string::npos;) token.replace(at, 2, "/");
        for (size_t at; (at = token.find("~0")) != std::string::npos;) token.replace(at, 2, "~");
        const bool index = !token.empty() && token.find_first_not_of("0123456789") == std::string::npos;
        if (index)
            name += "[" + token + "]";
        else
            name += (name.empty() ? "" : ".") + token;
    }
    return name;
}

struct KindName {
    std::string_view library, wanted, given;
};
constexpr std::array<KindName, 7> kKinds{{
    {"string", "tekstu", "tekst"},
    {"number", "liczby", "liczba"},
    {"boolean", "wartosci true/false", "wartosc true/false"},
    {"array", "listy", "lista"},
    {"object", "obiektu", "obiekt"},
    {"null", "null", "null"},
    {"binary", "danych binarnych", "dane binarne"},
}};

const KindName* kindNamed(std::string_view text) {
    for (const auto& k : kKinds)
        if (text == k.library) return &k;
    return nullptr;
}

}  // namespace

std::string fieldErrorText(const nlohmann::json::exception& e) {
    // The library's text: "[json.exception.<kind>.<id>] (<pointer>) <what>",
    // without the pointer for the message itself.
    std::string_view detail = e.what();
    detail.remove_prefix(std::min(detail.size(), detail.find("] ") + 2));
    std::string field;
    if (const size_t close = detail.find(") "); detail.rfind("(/", 0) == 0 && close != std::string_view::npos) {
        field = fieldName(detail.substr(1, close - 1));
        // Keys are the page's text: a long one is shown by its start.
        if (field.size() > 80) field = field.substr(0, 77) + "...";
        detail.remove_prefix(close + 2);
    }

    if (e.id == 302 && !field.empty()) {  // "type must be X, but is Y"
        constexpr std::string_view must = "type must be ", but = ", but is ";
        const size_t comma = detail.find(but);
        if (detail.rfind(must, 0) == 0 && comma != std::string_view::npos) {
            const KindName* wanted = kindNamed(detail.substr(must.size(), comma - must.size()));
            const KindName* given = kindNamed(detail.substr(comma + but.size()));
            if (wanted && given)
                return "Nieprawidlowe pole \"" + field + "\": oczekiwano " + std::string(wanted->wanted) +
                       ", otrzymano " + std::string(given->given);
        }
    }
    if (e.id == 403) {  // "key 'k' not found" under the object at the pointer
        const size_t quote = detail.find('\'');
        const size_t last = detail.rfind('\'');
        if (quote != std::string_view::npos && last > quote) {
            const std::string key(detail.substr(quote + 1, last - quote - 1));
            return "Brak pola \"" + (field.empty() ? key : field + "." + key) + "\"";
        }
    }
    return field.empty() ? "Nieprawidlowe dane w wiadomosci z UI" : "Nieprawidlowe pole \"" + field + "\"";
}

}  // namespace kl
