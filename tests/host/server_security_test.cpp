#include <gtest/gtest.h>

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <tuple>

#include <nlohmann/json.hpp>

#include "host/core/addon_session.h"
#include "host/server/workbench_server.h"

namespace kl::host {
namespace {

// A workbench with the test add-on and its palette open, served on loopback.
class ServedWorkbench : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start(KL_TEST_ADDON_PATH));
        ASSERT_EQ(wb.menuCommand(32500, 1), KL_NOERROR);
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        folder = wb.hub().page(1)->folder;
    }
    void TearDown() override {
        server.stop();
        session.stop();
    }

    // Runs a client call on another thread while this (main) thread serves
    // the work the server posts to it.
    template <class F>
    auto pumping(F f) {
        auto result = std::async(std::launch::async, f);
        while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            wb.executor().runFor(std::chrono::milliseconds(5));
        return result.get();
    }

    int status(const std::string& path, httplib::Headers headers = {}) {
        return pumping([&] {
            httplib::Client cli("127.0.0.1", server.port());
            auto res = cli.Get(path.c_str(), headers);
            return res ? res->status : -1;
        });
    }

    static ServerOptions shortLimits() {
        ServerOptions options;
        options.limits.head.headTime = std::chrono::seconds(2);
        options.limits.bodyTime = std::chrono::seconds(2);
        return options;
    }

    Workbench wb;
    AddonSession session{wb};
    WorkbenchServer server{wb, shortLimits()};
    std::filesystem::path folder;
};

TEST_F(ServedWorkbench, EveryRequestNeedsTheToken) {
    EXPECT_EQ(status(server.base() + "api/state"), 200);
    EXPECT_EQ(status("/"), 403);
    EXPECT_EQ(status("/api/state"), 403);
    EXPECT_EQ(status("/t/"), 403);
    EXPECT_EQ(status("/t/" + server.token()), 403);
    EXPECT_EQ(status("/t/" + server.token().substr(0, 31) + "/api/state"), 403);
    std::string wrong = server.token();
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    EXPECT_EQ(status("/t/" + wrong + "/api/state"), 403);
    EXPECT_EQ(status("/t/" + wrong + "/b/1/index.html"), 403);
}

TEST_F(ServedWorkbench, AForeignOriginOrHostIsRefused) {
    const std::string state = server.base() + "api/state";
    const std::string self = "http://127.0.0.1:" + std::to_string(server.port());
    EXPECT_EQ(status(state, {{"Origin", self}}), 200);
    EXPECT_EQ(status(state, {{"Origin", "http://evil.example"}}), 403);
    EXPECT_EQ(status(state, {{"Origin", "null"}}), 403);
    EXPECT_EQ(status(state, {{"Origin", "http://127.0.0.1:1"}}), 403);
    EXPECT_EQ(status(state, {{"Host", "evil.example"}}), 403);
    EXPECT_EQ(status(state, {{"Host", "127.0.0.1.evil.example:" + std::to_string(server.port())}}), 403);
    const int menu = pumping([&] {
        httplib::Client cli("127.0.0.1", server.port());
        auto res = cli.Post((server.base() + "api/menu").c_str(), {{"Origin", "http://evil.example"}},
                            R"({"menu":32500,"item":2})", "application/json");
        return res ? res->status : -1;
    });
    EXPECT_EQ(menu, 403);
    EXPECT_EQ(wb.project().elements().size(), 0u);  // the refused command did not run
}

TEST_F(ServedWorkbench, PageFilesComeOnlyFromThePageFolder) {
    const std::string page = server.base() + "b/1/";
    std::ofstream(folder.parent_path() / "secret.txt") << "outside";
    std::filesystem::create_directory_symlink(folder.parent_path(), folder / "up");
    std::filesystem::create_symlink(folder.parent_path() / "secret.txt", folder / "link.txt");
    std::filesystem::create_directory(folder / "sub");
    std::ofstream(folder / "sub" / "inner.css") << "p{}";

    EXPECT_EQ(status(page + "index.html"), 200);
    EXPECT_EQ(status(page + "style.css"), 200);
    EXPECT_EQ(status(page + "sub/inner.css"), 200);
    EXPECT_EQ(status(page + "../secret.txt"), 404);
    EXPECT_EQ(status(page + "sub/../../secret.txt"), 404);
    EXPECT_EQ(status(page + "%2e%2e/secret.txt"), 404);
    EXPECT_EQ(status(page + "%2E%2E%2Fsecret.txt"), 404);
    EXPECT_EQ(status(page + "..%5Csecret.txt"), 404);
    EXPECT_EQ(status(page + "up/secret.txt"), 404);
    EXPECT_EQ(status(page + "link.txt"), 404);
    EXPECT_EQ(status(page + "sub"), 404);
    EXPECT_EQ(status(page + ""), 404);
    EXPECT_EQ(status(page + "missing.js"), 404);
    EXPECT_EQ(status(server.base() + "b/2/index.html"), 404);  // no such browser
}

TEST_F(ServedWorkbench, ThePageGetsTheScriptObjectBeforeItsOwnScripts) {
    auto body = pumping([&] {
        httplib::Client cli("127.0.0.1", server.port());
        auto res = cli.Get((server.base() + "b/1/index.html").c_str());
        return res ? res->body : std::string();
    });
    ASSERT_EQ(body.rfind("<!DOCTYPE html><script>", 0), 0u);
    const size_t injected = body.find("[[\"GIS\",\"postMessage\"]]");
    ASSERT_NE(injected, std::string::npos);
    EXPECT_LT(injected, body.find("GIS.postMessage('hello')"));
    EXPECT_NE(body.find("bx/1/"), std::string::npos);
}

TEST_F(ServedWorkbench, PageCallsReachTheAddOnInOrderAndItsScriptsComeBack) {
    auto stream = wb.hub().attachStream(1);
    ASSERT_TRUE(stream);
    wb.hub().next(1, *stream, std::chrono::milliseconds(0));  // drop the object definitions
    const int code = pumping([&] {
        httplib::Client cli("127.0.0.1", server.port());
        auto res = cli.Post((server.base() + "bx/1/call").c_str(),
                            R"([{"o":"GIS","f":"postMessage","s":true,"a":"first"},)"
                            R"({"o":"GIS","f":"postMessage","s":false,"a":null},)"
                            R"({"o":"GIS","f":"unknown","s":true,"a":"x"}])",
                            "application/json");
        return res ? res->status : -1;
    });
    EXPECT_EQ(code, 200);
    wb.executor().runPending();
    auto events = wb.hub().next(1, *stream, std::chrono::milliseconds(0));
    ASSERT_TRUE(events);
    ASSERT_EQ(events->size(), 2u);
    EXPECT_NE((*events)[0].text.find("testAddonReceive(\"first\")"), std::string::npos);
    EXPECT_NE((*events)[1].text.find("testAddonReceive(null)"), std::string::npos);
}

TEST_F(ServedWorkbench, TheApiRunsMenuCommandsAndReportsState) {
    auto post = [&](const std::string& name, const std::string& body) {
        return pumping([&] {
            httplib::Client cli("127.0.0.1", server.port());
            auto res = cli.Post((server.base() + "api/" + name).c_str(), body, "application/json");
            return res ? nlohmann::json::parse(res->body, nullptr, false) : nlohmann::json();
        });
    };
    EXPECT_EQ(post("menu", R"({"menu":32500,"item":2})")["result"], 0);
    EXPECT_EQ(post("fault", R"({"function":"CreateElement","nth":1})")["faults"]["rules"].size(), 1u);
    post("menu", R"({"menu":32500,"item":2})");
    EXPECT_EQ(post("undo", "{}")["done"], true);
    EXPECT_EQ(post("palette-message", R"({"guid":"{6B1C0A7E-92D4-4F7B-B1A9-3C58D2E4F016}","message":7})")["visible"],
              true);
    EXPECT_EQ(post("palette-close", R"({"palette":1})")["result"], 0);
    auto readState = [&] {
        return pumping([&] {
            httplib::Client cli("127.0.0.1", server.port());
            auto res = cli.Get((server.base() + "api/state").c_str());
            return nlohmann::json::parse(res ? res->body : "", nullptr, false);
        });
    };
    auto state = readState();
    EXPECT_EQ(state["elements"]["total"], 0);
    EXPECT_EQ(state["undo"]["redo"].size(), 1u);
    EXPECT_EQ(state["palettes"][0]["visible"], false);
    EXPECT_EQ(state["menus"][0]["items"][0]["checked"], false);
    EXPECT_EQ(state["liveMemos"], 0);
    EXPECT_EQ(state["palettes"][0]["browsers"][0]["page"], server.base() + "b/1/index.html");
    EXPECT_EQ(post("nothing", "{}").is_discarded(), true);

    // Another project starts without the first one's undo steps.
    EXPECT_EQ(post("open-another-project", "{}")["done"], true);
    EXPECT_EQ(readState()["undo"]["redo"].size(), 0u);
}

TEST_F(ServedWorkbench, HostileApiBodiesAreAnsweredWithoutFaultOrLibraryText) {
    struct Case {
        const char* route;
        std::string body;
        int status;
        const char* errorNames;  // what the 400 answer names, or "" for any answer
    };
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const Case cases[] = {
        {"api/fault", R"({"function":5})", 400, "function"},
        {"api/fault", R"({"function":"CreateElement","sticky":"yes"})", 400, "sticky"},
        {"api/menu", R"({"menu":1e30,"item":1})", 400, "menu"},
        {"api/palette-resize", R"({"palette":1,"dx":4294967296})", 400, "dx"},
        {"api/event", R"({"event":"x"})", 400, "event"},
        {"api/alert-script", R"({"answers":[1,4]})", 400, "answers"},
        {"api/alert-script", R"({"answers":["Uruchom"]})", 400, "answers"},
        {"api/alert-answer", R"({"button":"OK"})", 400, "button"},
        {"api/alert-answer", R"({"button":1})", 200, "\"answered\":false"},
        {"api/undo", deep, 400, "nested"},
        {"api/undo", R"({"x":)" + deep + "}", 400, "nested"},
        {"api/palette-resize", R"({"palette":1,"dx":2147483647,"dy":-2147483648})", 200, ""},
        {"bx/1/call", R"([{"o":"GIS","f":"postMessage","s":"yes","a":"x"}])", 200, ""},
        {"bx/1/call", deep, 400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body.substr(0, 60));
        const auto [status, body, what] = pumping([&] {
            httplib::Client cli("127.0.0.1", server.port());
            auto res = cli.Post((server.base() + c.route).c_str(), c.body, "application/json");
            return res ? std::tuple(res->status, res->body, res->get_header_value("EXCEPTION_WHAT"))
                       : std::tuple(-1, std::string(), std::string());
        });
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(what, "");
        EXPECT_NE(body.find(c.errorNames), std::string::npos) << body;
    }
    // The resize past every limit left a palette of a sane size.
    auto state = pumping([&] {
        httplib::Client cli("127.0.0.1", server.port());
        auto res = cli.Get((server.base() + "api/state").c_str());
        return nlohmann::json::parse(res ? res->body : "", nullptr, false);
    });
    EXPECT_EQ(state["palettes"][0]["width"], 32767);
    EXPECT_EQ(state["palettes"][0]["height"], 1);
}

// Loopback connections that send the start of a request, then one byte more
// each round, until the server closes them.
class Tricklers {
public:
    Tricklers(int port, size_t count, const std::string& start) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (size_t i = 0; i < count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
                send(fd, start.data(), start.size(), MSG_NOSIGNAL) == ssize_t(start.size()))
                open_.push_back(pollfd{fd, POLLIN, 0});
            else
                close(fd);
        }
    }
    ~Tricklers() {
        for (const auto& p : open_) close(p.fd);
    }
    // Waits up to 50 ms for the server to answer or close connections, which
    // ends them, then sends a byte on each one still open. Returns how many are open.
    size_t round() {
        poll(open_.data(), open_.size(), 50);
        std::erase_if(open_, [](const pollfd& p) {
            const char byte = 'a';
            const bool closed = p.revents != 0 || send(p.fd, &byte, 1, MSG_NOSIGNAL) != 1;
            if (closed) close(p.fd);
            return closed;
        });
        ++rounds_;
        return open_.size();
    }
    size_t rounds() const { return rounds_; }

private:
    std::vector<pollfd> open_;
    size_t rounds_ = 0;
};

TEST_F(ServedWorkbench, SlowClientsAreCutOffAndDoNotStarveOthers) {
    const std::string head = "GET " + server.base() + "api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    const std::string body = "POST " + server.base() +
                             "api/undo HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100000\r\n\r\n{";
    for (const std::string& start : {head, body}) {
        SCOPED_TRACE(start);
        Tricklers slow(server.port(), 1, start);
        while (slow.round() > 0 && slow.rounds() < 200) wb.executor().runPending();
        EXPECT_LT(slow.rounds(), 200u) << "a byte at a time kept the request open";
    }

    // More tricklers than workers and than one address may keep waiting.
    Tricklers many(server.port(), 40, head);
    std::atomic<bool> answered = false;
    std::thread trickling([&] {
        while (!answered && many.round() > 0) {
        }
    });
    EXPECT_EQ(status(server.base() + "api/state"), 200);
    answered = true;
    trickling.join();

    // A kept-alive connection goes back to the gate between its requests.
    const auto statuses = pumping([&] {
        httplib::Client cli("127.0.0.1", server.port());
        cli.set_keep_alive(true);
        std::vector<int> codes;
        for (const char* route : {"api/state", "api/model", "api/state"}) {
            auto res = cli.Get((server.base() + route).c_str());
            codes.push_back(res ? res->status : -1);
        }
        return codes;
    });
    EXPECT_EQ(statuses, (std::vector<int>{200, 200, 200}));
}

}  // namespace
}  // namespace kl::host
