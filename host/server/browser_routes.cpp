// The palette browsers: page files from the folder the add-on loaded, the
// stream of scripts the add-on executes, and the calls of the page's script
// objects.
#include <httplib.h>

#include <charconv>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/server/content_types.h"
#include "host/server/page_injection.h"
#include "host/server/security.h"
#include "host/server/workbench_server.h"
#include "host/server/bounded_json.h"

namespace kl::host {
namespace {

constexpr int32_t kErrFileNotFound = -6;

std::optional<int32_t> leadingId(const std::string& s, std::string& rest) {
    const size_t slash = s.find('/');
    const std::string digits = s.substr(0, slash);
    int32_t id = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (ec != std::errc() || p != digits.data() + digits.size() || digits.empty()) return std::nullopt;
    rest = slash == std::string::npos ? std::string() : s.substr(slash + 1);
    return id;
}

std::optional<std::string> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void notFound(httplib::Response& res) {
    res.status = 404;
    res.set_content("not found\n", "text/plain; charset=utf-8");
}

}  // namespace

void WorkbenchServer::routeBrowser(const std::string& path, const httplib::Request& req, httplib::Response& res) {
    const bool channel = path.rfind("bx/", 0) == 0;
    std::string rest;
    auto id = leadingId(path.substr(channel ? 3 : 2), rest);
    if (!id) return notFound(res);
    if (!channel) {
        if (req.method != "GET") return notFound(res);
        return servePageFile(*id, rest, res);
    }
    if (rest == "events" && req.method == "GET") return streamBrowser(*id, res);
    if (rest == "call" && req.method == "POST") return browserCalls(*id, req, res);
    if (rest == "state" && req.method == "POST") return browserState(*id, req, res);
    notFound(res);
}

void WorkbenchServer::servePageFile(int32_t browser, const std::string& rest, httplib::Response& res) {
    auto page = wb_.hub().page(browser);
    if (!page) return notFound(res);
    auto file = resolveInside(page->folder, rest);
    auto content = file ? readFile(*file) : std::nullopt;
    const bool startPage = rest == page->startFile;
    if (!content) {
        if (startPage)
            wb_.executor().post([wb = &wb_, browser] {
                const KlBrowser* b = wb->palettes().browserById(browser);
                wb->pageLoadError(browser, kErrFileNotFound, b ? b->url : std::string());
            });
        return notFound(res);
    }
    if (isHtml(rest)) {
        wb_.executor().post([wb = &wb_, browser] { wb->pageLoading(browser, true); });
        const std::string script = browserScript(base() + "bx/" + std::to_string(browser) + "/", page->objects);
        res.set_content(injectIntoHtml(*content, script), contentTypeFor(rest));
        return;
    }
    res.set_content(*content, contentTypeFor(rest));
}

void WorkbenchServer::streamBrowser(int32_t browser, httplib::Response& res) {
    auto stream = wb_.hub().attachStream(browser);
    if (!stream) return notFound(res);
    res.set_header("X-Accel-Buffering", "no");
    const uint64_t token = *stream;
    res.set_chunked_content_provider("text/event-stream", [this, browser, token](size_t, httplib::DataSink& sink) {
        if (stopping_) return false;
        auto events = wb_.hub().next(browser, token, std::chrono::seconds(5));
        if (!events || stopping_) return false;
        std::string chunk;
        for (const auto& e : *events) {
            // one JSON line per event keeps line breaks of the script intact
            const nlohmann::json data =
                e.kind == PageEvent::Script ? nlohmann::json(e.text) : nlohmann::json::array({e.text, e.function});
            chunk += e.kind == PageEvent::Script ? "event: script\ndata: " : "event: object\ndata: ";
            chunk += data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            chunk += "\n\n";
        }
        if (chunk.empty()) chunk = ": idle\n\n";
        return sink.write(chunk.data(), chunk.size());
    });
}

void WorkbenchServer::browserCalls(int32_t browser, const httplib::Request& req, httplib::Response& res) {
    const auto calls = parseBoundedJson(req.body);
    if (!calls.is_array()) {
        res.status = 400;
        res.set_content("{\"ok\":false}", kJsonContentType);
        return;
    }
    for (const auto& c : calls) {
        if (!c.is_object() || !c.value("o", nlohmann::json()).is_string() ||
            !c.value("f", nlohmann::json()).is_string())
            continue;
        std::optional<std::string> arg;
        if (c.value("s", nlohmann::json()) == true && c.value("a", nlohmann::json()).is_string())
            arg = c["a"].get<std::string>();
        wb_.executor().post([wb = &wb_, browser, o = c["o"].get<std::string>(), f = c["f"].get<std::string>(),
                             arg = std::move(arg)] { wb->pageCall(browser, o, f, arg); });
    }
    res.set_content("{\"ok\":true}", kJsonContentType);
}

void WorkbenchServer::browserState(int32_t browser, const httplib::Request& req, httplib::Response& res) {
    const auto state = parseBoundedJson(req.body);
    if (state.is_object() && state.contains("loading") && state["loading"].is_boolean()) {
        const bool loading = state["loading"].get<bool>();
        wb_.executor().post([wb = &wb_, browser, loading] { wb->pageLoading(browser, loading); });
    }
    res.set_content("{\"ok\":true}", kJsonContentType);
}

}  // namespace kl::host
