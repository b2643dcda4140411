#include "base/message_fields.h"

#include <algorithm>
#include <string_view>

namespace kl {
namespace {

using nlohmann::json;

struct Kind {
    bool (*fits)(const json&);
    const char* said;  // ends "Pole "<name>" musi byc ..."
};

bool isList(const json& v, bool (*element)(const json&)) {
    return v.is_array() && std::all_of(v.begin(), v.end(), element);
}
bool number(const json& v) { return v.is_number(); }
bool text(const json& v) { return v.is_string(); }

const Kind kNumber{number, "liczba"};
const Kind kText{text, "tekstem"};
const Kind kBoolean{[](const json& v) { return v.is_boolean(); }, "wartoscia true albo false"};
const Kind kObject{[](const json& v) { return v.is_object(); }, "obiektem"};
const Kind kNumbers{[](const json& v) { return isList(v, number); }, "lista liczb"};
const Kind kTexts{[](const json& v) { return isList(v, text); }, "lista tekstow"};

struct Field {
    std::string_view name;
    const Kind& kind;
};

// What the map and cloud pages send, besides "type".
const Field kFields[] = {
    {"bboxWgs84", kNumbers},      {"layers", kTexts},          {"rasterScale", kNumber},
    {"terrainStep", kNumber},     {"terenChmuraKrok", kNumber}, {"poziomiceCiecie", kNumber},
    {"poziomiceWygladz", kBoolean}, {"lat", kNumber},           {"lon", kNumber},
    {"mapping", kObject},         {"query", kText},            {"url", kText},
    {"detail", kText},            {"laz", kBoolean},
};

}  // namespace

std::string wrongFieldKind(const json& message) {
    for (const Field& field : kFields) {
        const auto it = message.find(field.name);
        if (it != message.end() && !field.kind.fits(*it))
            return "Pole \"" + std::string(field.name) + "\" musi byc " + field.kind.said + ".";
    }
    return {};
}

}  // namespace kl
