#include "base/bridge.h"

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

struct HostileCase {
    const char* name;
    std::string text;
};

std::vector<HostileCase> hostileCases() {
    return {
        {"empty", ""},
        {"truncated", R"({"type":"ping")"},
        {"array", R"(["ping"])"},
        {"no_type", R"({"kind":"ping"})"},
        {"numeric_type", R"({"type":5})"},
        {"invalid_utf8", "{\"type\":\"ping\",\"x\":\"\xC3\x28\"}"},
        {"lone_surrogate", R"({"type":"ping","x":"\ud800"})"},
        {"ten_megabytes", R"({"type":"ping","pad":")" + std::string(10u << 20, 'a') + "\"}"},
        {"trailing_garbage", R"({"type":"ping"} x)"},
        {"nested_past_the_cap", R"({"type":"ping","x":)" + std::string(64, '[') + std::string(64, ']') + "}"},
    };
}

TEST_F(BridgeTest, MalformedAndHostileMessagesGetTheInvalidMessageErrorAndReachNoHandler) {
    for (const auto& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        sent.clear();
        bridge.onMessage(c.text);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(last(), kInvalid);
    }
    EXPECT_EQ(pings, 0);
    EXPECT_TRUE(bridge.hasHandler("ping"));
}

TEST_F(BridgeTest, MessagesUpToTheSizeLimitAreDispatched) {
    const std::string pad(kl::Bridge::kMaxMessageBytes - 64, 'a');
    bridge.onMessage(R"({"type":"ping","pad":")" + pad + "\"}");
    EXPECT_EQ(pings, 1);
    // Nesting up to the cap passes, and brackets inside strings do not count.
    bridge.onMessage(R"({"type":"ping","x":)" + std::string(63, '[') + R"("[[[{{")" + std::string(63, ']') + "}");
    EXPECT_EQ(pings, 2);
    EXPECT_EQ(last(), json({{"type", "pong"}}));
}

TEST_F(BridgeTest, AFieldOfTheWrongKindOrAFailingHandlerIsAnsweredInPolishAndTheBridgeStaysUsable) {
    int reached = 0;
    bridge.on("boom", [](const json&) -> json { throw std::runtime_error("awaria"); });
    bridge.on("read", [&reached](const json& msg) {
        ++reached;
        return json{{"n", msg.value("count", 0)}};
    });
    const struct {
        const char* message;
        const char* answer;
    } cases[] = {
        {R"({"type":"boom"})", "Blad wewnetrzny: awaria"},
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

TEST_F(BridgeTest, InvalidUtf8InAnExceptionOrAReplyIsRepairedNotFatal) {
    bridge.on("cp1250", [](const json&) -> json { throw std::runtime_error("nazwa \xB9\xEA z pliku"); });
    bridge.on("attr", [](const json&) { return json{{"name", std::string("ul. \x8C") + "wi\xEAtokrzyska"}}; });
    bridge.onMessage(R"({"type":"cp1250"})");
    EXPECT_EQ(last()["msg"], "Blad wewnetrzny: nazwa \xEF\xBF\xBD\xEF\xBF\xBD z pliku");
    bridge.onMessage(R"({"type":"attr"})");
    EXPECT_EQ(last(), json({{"type", "attrResult"}, {"name", "ul. \xEF\xBF\xBDwi\xEF\xBF\xBDtokrzyska"}}));
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(BridgeTest, ReplyTypeRules) {
    bridge.on("empty", [](const json&) { return json::object(); });
    bridge.on("typed", [](const json&) { return json{{"type", "custom"}, {"a", 1}}; });
    bridge.on("badType", [](const json&) { return json{{"type", 3}}; });
    bridge.on("later", [](const json&) { return json(); });
    bridge.onMessage(R"({"type":"empty"})");
    EXPECT_EQ(last(), json({{"type", "emptyResult"}}));
    bridge.onMessage(R"({"type":"typed"})");
    EXPECT_EQ(last(), json({{"type", "custom"}, {"a", 1}}));
    bridge.onMessage(R"({"type":"badType"})");
    EXPECT_EQ(last(), json({{"type", "badTypeResult"}}));
    const auto before = sent.size();
    bridge.onMessage(R"({"type":"later"})");
    EXPECT_EQ(sent.size(), before);
}

TEST_F(BridgeTest, SendSetsTypeCompactlyAndDropsWithoutSender) {
    bridge.send("progress", json{{"type", "stale"}, {"done", 1}, {"total", 4}});
    EXPECT_EQ(sent.back(), R"({"done":1,"total":4,"type":"progress"})");
    bridge.send("noop", json());
    EXPECT_EQ(sent.back(), R"({"type":"noop"})");
    // The text goes into a script: nothing in it may end the script.
    bridge.send("noop", json{{"s", "</script>"}});
    EXPECT_EQ(sent.back(), R"({"s":"\u003c/script\u003e","type":"noop"})");
    bridge.setSender({});
    bridge.send("progress", json::object());
    EXPECT_EQ(sent.size(), 3u);
}

TEST_F(BridgeTest, FailingSenderDoesNotEscape) {
    bridge.setSender([](const std::string&) { throw std::runtime_error("browser gone"); });
    EXPECT_NO_THROW(bridge.onMessage(R"({"type":"ping"})"));
    EXPECT_EQ(pings, 1);
}

}  // namespace
