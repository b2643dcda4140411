#include "base/bridge.h"
#include "base/json_text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        bridge.setSender([this](const std::string& text) { sent.push_back(text); });
        bridge.on("ping", [this](const json&) {
            ++pings;
            return json{{"type", "pong"}};
        });
        bridge.on("echo", [](const json& msg) { return msg; });
    }

    json last() const { return json::parse(sent.back()); }

    kl::Bridge bridge;
    std::vector<std::string> sent;
    int pings = 0;
};

const json kInvalid = {{"type", "error"}, {"msg", "Nieprawidlowa wiadomosc z UI (JSON)"}};

TEST_F(BridgeTest, MalformedAndHostileMessagesGetTheInvalidMessageErrorAndReachNoHandler) {
    const struct {
        const char* name;
        std::string text;
        bool dispatched = false;
    } cases[] = {
        // Text the parser refuses stands for the rest: the bridge's fuzzer has them.
        {"truncated", R"({"type":"ping")"},
        {"array", R"(["ping"])"},
        {"no_type", R"({"kind":"ping"})"},
        {"numeric_type", R"({"type":5})"},
        {"invalid_utf8", "{\"type\":\"ping\",\"x\":\"\xC3\x28\"}"},
        {"ten_megabytes", R"({"type":"ping","pad":")" + std::string(10u << 20, 'a') + "\"}"},
        {"nested_past_the_cap", R"({"type":"ping","x":)" + std::string(64, '[') + std::string(64, ']') + "}"},
        {"just_under_the_size_limit",
         R"({"type":"ping","pad":")" + std::string(kl::Bridge::kMaxMessageBytes - 64, 'a') + "\"}", true},
        // Nesting up to the cap passes, and brackets inside strings do not count.
        {"nested_to_the_cap", R"({"type":"ping","x":)" + std::string(63, '[') + R"("[[[{{")" + std::string(63, ']') + "}",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sent.clear();
        const int before = pings;
        bridge.onMessage(c.text);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(last(), c.dispatched ? json({{"type", "pong"}}) : kInvalid);
        EXPECT_EQ(pings, before + (c.dispatched ? 1 : 0));
    }
    EXPECT_TRUE(bridge.hasHandler("ping"));
}

// A failing handler's answer is the reply table's.
TEST_F(BridgeTest, AFieldOfTheWrongKindIsAnsweredInPolishAndTheBridgeStaysUsable) {
    int reached = 0;
    bridge.on("read", [&reached](const json& msg) {
        ++reached;
        return json{{"n", msg.value("count", 0)}};
    });
    const struct {
        const char* message;
        const char* answer;
    } cases[] = {
        {R"({"type":"read","lat":"52.1"})", "Pole \"lat\" musi byc liczba."},
        {R"({"type":"read","bboxWgs84":[15.5,"51.2",15.6,51.3]})", "Pole \"bboxWgs84\" musi byc lista liczb."},
        {R"({"type":"read","layers":["dzialki",{}]})", "Pole \"layers\" musi byc lista tekstow."},
        {R"({"type":"read","laz":"tak"})", "Pole \"laz\" musi byc wartoscia true albo false."},
        {R"({"type":"read","mapping":[]})", "Pole \"mapping\" musi byc obiektem."},
        {R"({"type":"read","url":7})", "Pole \"url\" musi byc tekstem."},
        // A field no table names: the handler's own read fails, still in Polish.
        {R"({"type":"read","count":"7"})", "Nieprawidlowe dane w wiadomosci \"read\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        bridge.onMessage(c.message);
        EXPECT_EQ(last(), json({{"type", "error"}, {"msg", c.answer}}));
        bridge.onMessage(R"({"type":"ping"})");
        EXPECT_EQ(last()["type"], "pong");
    }
    EXPECT_EQ(reached, 1);  // only the field no table names reached the handler
}

// A reply without a type of its own is the request's type and "Result";
// invalid UTF-8 in a reply or an exception is repaired, not fatal.
TEST_F(BridgeTest, RepliesAreTypedAndRepairedAndANullReplySendsNothing) {
    const struct {
        const char* type;
        json reply;     // what the handler returns
        json sent;      // null: nothing
        bool throws = false;
    } cases[] = {
        {"cp1250", "nazwa \xB9\xEA z pliku", {{"type", "error"}, {"msg", "Blad wewnetrzny: nazwa \xEF\xBF\xBD\xEF\xBF\xBD z pliku"}},
         true},
        {"attr", {{"name", "ul. \x8Cwi\xEAtokrzyska"}},
         {{"type", "attrResult"}, {"name", "ul. \xEF\xBF\xBDwi\xEF\xBF\xBDtokrzyska"}}},
        {"empty", json::object(), {{"type", "emptyResult"}}},
        {"typed", {{"type", "custom"}, {"a", 1}}, {{"type", "custom"}, {"a", 1}}},
        {"badType", {{"type", 3}}, {{"type", "badTypeResult"}}},
        {"later", json(), json()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        bridge.on(c.type, [&c](const json&) -> json {
            if (c.throws) throw std::runtime_error(c.reply.get<std::string>());
            return c.reply;
        });
        sent.clear();
        bridge.onMessage(json{{"type", c.type}}.dump());
        EXPECT_EQ(sent.empty() ? json() : last(), c.sent);
    }
}

TEST_F(BridgeTest, SendSetsTypeCompactlyAndDropsWithoutSenderAndAFailingSenderDoesNotEscape) {
    bridge.send("progress", json{{"type", "stale"}, {"done", 1}, {"total", 4}});
    EXPECT_EQ(sent.back(), R"({"done":1,"total":4,"type":"progress"})");
    bridge.send("noop", json());
    EXPECT_EQ(sent.back(), R"({"type":"noop"})");
    bridge.send("noop", json{{"s", "</script>"}});  // escaped as any text going into a script
    EXPECT_EQ(sent.back(), R"({"s":"\u003c/script\u003e","type":"noop"})");
    bridge.setSender({});
    bridge.send("progress", json::object());
    EXPECT_EQ(sent.size(), 3u);
    bridge.setSender([](const std::string&) { throw std::runtime_error("browser gone"); });
    EXPECT_NO_THROW(bridge.onMessage(R"({"type":"ping"})"));
    EXPECT_EQ(pings, 1);
}

// The text goes into a script: nothing in it may end the script or its string.
TEST(ScriptSafeJson, EscapesEverythingThatCouldEndAScriptString) {
    const std::pair<json, const char*> cases[] = {
        {json{{"a", 1}, {"b", json::array({true, nullptr})}}, R"({"a":1,"b":[true,null]})"},
        {json("a&b"), R"("a\u0026b")"},
        {json("\xE2\x80\xA8\xE2\x80\xA9"), R"("\u2028\u2029")"},
        {json("ł"), R"("\u0142")"},
        {json("\xF0\x9F\x98\x80"), R"("\ud83d\ude00")"},
        {json("bad\xC3"), R"("bad\ufffd")"},
        {json{{"k\xFF", "v"}}, R"({"k\ufffd":"v"})"},
        {json{{"x", 52.25}}, R"({"x":52.25})"},  // a point, though the tests run under a comma locale
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(kl::toScriptSafeJson(value), expected);
}

}  // namespace
