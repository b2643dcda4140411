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
#include <optional>
#include <tuple>

#include <nlohmann/json.hpp>

#include "host/core/addon_session.h"
#include "host/core/file_url.h"
#include "host/server/page_injection.h"
#include "host/server/security.h"
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

    struct Answer {
        int status = -1;
        std::string body, exceptionWhat;
    };
    // A GET (no body) or a JSON POST to a path under the token (or an absolute path).
    Answer ask(const std::string& route, const std::optional<std::string>& body = std::nullopt,
               const httplib::Headers& headers = {}) {
        const std::string path = route.rfind('/', 0) == 0 ? route : server.base() + route;
        return pumping([&] {
            httplib::Client cli("127.0.0.1", server.port());
            auto res = body ? cli.Post(path.c_str(), headers, *body, "application/json") : cli.Get(path.c_str(), headers);
            return res ? Answer{res->status, res->body, res->get_header_value("EXCEPTION_WHAT")} : Answer{};
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

// Only a request with the token, from this origin and host, for a file inside
// the page folder is served.
TEST_F(ServedWorkbench, RequestsWithoutTheTokenOriginHostOrFolderAreRefused) {
    std::ofstream(folder.parent_path() / "secret.txt") << "outside";
    std::filesystem::create_directory_symlink(folder.parent_path(), folder / "up");
    std::filesystem::create_symlink(folder.parent_path() / "secret.txt", folder / "link.txt");
    std::filesystem::create_directory(folder / "sub");
    std::ofstream(folder / "sub" / "inner.css") << "p{}";
    std::string wrong = server.token();
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    const std::string port = std::to_string(server.port());
    const std::tuple<std::string, httplib::Headers, int> cases[] = {
        {"api/state", {}, 200},
        {"/", {}, 403},
        {"/api/state", {}, 403},
        {"/t/", {}, 403},
        {"/t/" + server.token(), {}, 403},
        {"/t/" + server.token().substr(0, 31) + "/api/state", {}, 403},
        {"/t/" + wrong + "/api/state", {}, 403},
        {"api/state", {{"Origin", "http://127.0.0.1:" + port}}, 200},
        {"api/state", {{"Origin", "http://evil.example"}}, 403},
        {"api/state", {{"Origin", "null"}}, 403},
        {"api/state", {{"Origin", "http://127.0.0.1:1"}}, 403},
        {"api/state", {{"Host", "evil.example"}}, 403},
        {"api/state", {{"Host", "127.0.0.1.evil.example:" + port}}, 403},
        {"api/state", {{"Host", "localhost:" + port}}, 200},
        {"api/state", {{"Host", "127.0.0.1:" + std::to_string(server.port() + 1)}}, 403},
        {"api/state", {{"Origin", "https://127.0.0.1:" + port}}, 403},
        {"b/1/index.html", {}, 200},
        {"b/1/style.css", {}, 200},
        {"b/1/sub/inner.css", {}, 200},
        {"b/1/../secret.txt", {}, 404},
        {"b/1/sub/../../secret.txt", {}, 404},
        {"b/1/%2e%2e/secret.txt", {}, 404},
        {"b/1/%2E%2E%2Fsecret.txt", {}, 404},
        {"b/1/..%5Csecret.txt", {}, 404},
        {"b/1/up/secret.txt", {}, 404},
        {"b/1/link.txt", {}, 404},
        {"b/1/sub", {}, 404},
        {"b/1/", {}, 404},
        {"b/1/missing.js", {}, 404},
        {"b/2/index.html", {}, 404},  // no such browser
    };
    for (const auto& [route, headers, expected] : cases)
        EXPECT_EQ(ask(route, std::nullopt, headers).status, expected)
            << route << " " << (headers.empty() ? "" : headers.begin()->second);
    EXPECT_EQ(ask("api/menu", R"({"menu":32500,"item":2})", {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_EQ(wb.project().elements().size(), 0u);  // the refused command did not run
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
        {"api/palette-resize", R"({"palette":1,"dx":2147483647,"dy":-2147483648})", 200, ""},
        {"bx/1/call", R"([{"o":"GIS","f":"postMessage","s":"yes","a":"x"}])", 200, ""},
        {"bx/1/call", deep, 400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body.substr(0, 60));
        const Answer a = ask(c.route, c.body);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.exceptionWhat, "");
        EXPECT_NE(a.body.find(c.errorNames), std::string::npos) << a.body;
    }
    // The resize past every limit left a palette of a sane size.
    const auto state = nlohmann::json::parse(ask("api/state").body);
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
    EXPECT_EQ(ask("api/state").status, 200);
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

TEST(FileUrl, DecodesEachSegmentAndKeepsTheSuffix) {
    auto u = parseFileUrl("file:///tmp/Temp%20Dir/Za%C5%BC%C3%B3%C5%82%C4%87%23%25/web/map.html?x=1#top");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->path, "/tmp/Temp Dir/Zażółć#%/web/map.html");
    EXPECT_EQ(u->suffix, "?x=1#top");
    EXPECT_TRUE(parseFileUrl("FILE://localhost/a/b.html"));
    EXPECT_FALSE(parseFileUrl("http://127.0.0.1/a.html"));
    EXPECT_FALSE(parseFileUrl("file://relative/a.html"));
    EXPECT_FALSE(parseFileUrl("file:///a%2"));
    EXPECT_FALSE(parseFileUrl("file:///a%00b"));
}

// The host, origin and token rules are checked request by request in the
// server's security tests; here what no request can show.
TEST(Security, TokensDifferAndAnEmptyOneMatchesNothing) {
    const std::string t = makeToken();
    EXPECT_EQ(t.size(), 32u);
    EXPECT_NE(t, makeToken());
    EXPECT_FALSE(tokenMatches("", ""));
    EXPECT_FALSE(allowedHost("", 8080));
}

TEST(PageInjection, GoesBehindTheDoctypeOrFirst) {
    EXPECT_EQ(injectIntoHtml("<!doctype html>\n<p>", "<s>"), "<!doctype html><s>\n<p>");
    EXPECT_EQ(injectIntoHtml("<html><p>", "<s>"), "<s><html><p>");
    EXPECT_EQ(injectIntoHtml("", "<s>"), "<s>");
    // names cannot break out of the inline script
    const std::string s = browserScript("/t/x/bx/1/</script>", {});
    EXPECT_EQ(s.find("</script>"), s.size() - 9);
}

}  // namespace
}  // namespace kl::host
