#include "base/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using nlohmann::json;

struct Case {
    json value;
    const char* expected;
};

TEST(ScriptSafeJson, EscapesEverythingThatCouldEndAScriptString) {
    const Case cases[] = {
        {json{{"a", 1}, {"b", json::array({true, nullptr})}}, R"({"a":1,"b":[true,null]})"},
        {json("</script>"), R"("\u003c/script\u003e")"},
        {json("a&b"), R"("a\u0026b")"},
        {json("\xE2\x80\xA8\xE2\x80\xA9"), R"("\u2028\u2029")"},
        {json("ł"), R"("\u0142")"},
        {json("\xF0\x9F\x98\x80"), R"("\ud83d\ude00")"},
        {json("bad\xC3"), R"("bad\ufffd")"},
        {json{{"k\xFF", "v"}}, R"({"k\ufffd":"v"})"},
        {json{{"x", 52.25}}, R"({"x":52.25})"},  // a point, though the tests run under a comma locale
    };
    for (const auto& c : cases) EXPECT_EQ(kl::toScriptSafeJson(c.value), c.expected);
}

}  // namespace
