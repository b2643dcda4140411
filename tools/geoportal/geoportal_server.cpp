#include "tools/geoportal/geoportal_server.h"

#include "tools/geoportal/connection_reset.h"
#include "tools/geoportal/gml_writer.h"
#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/service_family.h"
#include "tools/geoportal/text_util.h"
#include "tools/geoportal/wfs_service.h"
#include "tools/geoportal/wms_service.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

namespace kl::geoportal {

namespace {

constexpr std::string_view kProfilePrefix = "/__profile/";
constexpr std::string_view kFaultParam = "__fault";

struct Route {
    std::regex pattern;
    const ServiceFamily* family;
};

std::string htmlPage(int status, std::string_view title) {
    return "<!DOCTYPE html>\n<html><head><title>" + formatInt(status) + " " + std::string(title) + "</title></head><body><h1>" +
           std::string(title) + "</h1><p>Serwis chwilowo niedostepny.</p></body></html>\n";
}

const char* reasonFor(int status) {
    switch (status) {
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 502: return "Bad Gateway";
        case 503: return "Service Unavailable";
        case 504: return "Gateway Timeout";
        default: return "Error";
    }
}

std::string jsonReply(bool ok, std::string_view message) {
    return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"message\":\"" + jsonEscape(message) + "\"}";
}

// lidarSheet (50-2000 m), lidarDensity (0-50 per m2), lidarYear, lidarErrorYear (0: none).
// Nothing changes unless every given value is valid.
bool applyLidarConfig(const httplib::Request& req, ServiceConfig& config) {
    ServiceConfig next = config;
    auto given = [&](const char* key) { return req.has_param(key); };
    auto number = [&](const char* key) { return parseDouble(req.get_param_value(key)); };
    if (given("lidarSheet")) {
        auto v = number("lidarSheet");
        if (!v || !validLidarSheetMetres(*v)) return false;
        next.lidarSheetMetres = *v;
    }
    if (given("lidarDensity")) {
        auto v = number("lidarDensity");
        if (!v || !validLidarDensity(*v)) return false;
        next.lidarDensity = *v;
    }
    for (auto [key, field] : {std::pair{"lidarYear", &ServiceConfig::lidarYear}, std::pair{"lidarErrorYear", &ServiceConfig::lidarErrorYear}}) {
        if (!given(key)) continue;
        auto v = parseInt(req.get_param_value(key));
        if (!v || (*v != 0 && (*v < 2000 || *v > 2100))) return false;
        next.*field = static_cast<int>(*v);
    }
    config = next;
    return true;
}

std::string lidarConfigJson(const ServiceConfig& config) {
    const LidarParams params{config.lidarSheetMetres, config.lidarDensity};
    const auto sheets = static_cast<long long>(lidarSheets(params.sheetMetres).size());
    return "\"lidar\":{\"year\":" + formatInt(config.lidarYear) + ",\"errorYear\":" + formatInt(config.lidarErrorYear) +
           ",\"sheetMetres\":" + formatShortest(params.sheetMetres) + ",\"density\":" + formatShortest(params.density) +
           ",\"sheets\":" + formatInt(sheets) + ",\"pointsPerSheet\":" +
           formatInt(static_cast<long long>(lidarTilePointCount(params))) + ",\"points\":" +
           formatInt(sheets * static_cast<long long>(lidarTilePointCount(params))) + "}";
}

}  // namespace

bool isLoopbackHost(std::string_view host) { return host == "127.0.0.1" || host == "localhost"; }

struct GeoportalServer::Impl {
    ServerOptions options;
    httplib::Server http;
    std::thread thread;
    int port = 0;
    std::atomic<bool> stopping{false};
    FaultTable faults;
    RequestLog log;
    std::mutex configMutex;
    ServiceConfig config;
    std::vector<Route> routes;

    explicit Impl(ServerOptions o) : options(std::move(o)), config(options.config) {
        for (const auto& family : serviceCatalogue())
            for (const auto& pattern : family.pathPatterns) routes.push_back({std::regex(pattern), &family});
    }

    // Before the server runs the addresses are given as paths only.
    std::string base() const { return port > 0 ? "http://127.0.0.1:" + formatInt(port) : std::string(); }

    ServiceConfig currentConfig() {
        std::lock_guard lock(configMutex);
        return config;
    }

    void sleepUnlessStopping(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    // ---- control endpoints ------------------------------------------------
    bool control(const httplib::Request& req, httplib::Response& res) {
        const std::string& path = req.path;
        auto value = [&](const char* key) { return req.has_param(key) ? req.get_param_value(key) : std::string(); };
        auto json = [&](const std::string& body) { res.set_content(body, "application/json; charset=UTF-8"); };
        if (path == "/__health") {
            res.set_content("ok\n", "text/plain");
        } else if (path == "/__log") {
            json(log.toJson(value("path")));
        } else if (path == "/__log/clear") {
            log.clear();
            json(jsonReply(true, "log cleared"));
        } else if (path == "/__fault/clear" || (path == "/__fault" && value("kind") == "clear")) {
            faults.clear();
            json(jsonReply(true, "faults cleared"));
        } else if (path == "/__fault") {
            if (!req.has_param("kind")) {
                json(faults.describeJson());
                return true;
            }
            auto fault = parseFault(value("kind"), value("status"), value("ms"));
            auto count = req.has_param("count") ? parseInt(value("count")) : std::optional<long long>(1);
            if (!fault || !count) {
                res.status = 400;
                json(jsonReply(false, "unknown fault kind or count"));
                return true;
            }
            faults.add({*fault, value("path"), value("match"), *count == 0 ? -1 : static_cast<int>(*count)});
            json(jsonReply(true, faultName(*fault)));
        } else if (path == "/__config") {
            std::lock_guard lock(configMutex);
            if (auto n = parseInt(value("maxFeatures")); n && *n > 0) config.maxFeatures = *n;
            if (req.has_param("matchedUnknown")) config.matchedUnknown = value("matchedUnknown") == "1" || value("matchedUnknown") == "true";
            if (!applyLidarConfig(req, config)) {
                res.status = 400;
                json(jsonReply(false, "invalid lidarSheet, lidarDensity, lidarYear or lidarErrorYear"));
                return true;
            }
            json("{\"maxFeatures\":" + formatInt(config.maxFeatures) + ",\"matchedUnknown\":" +
                 (config.matchedUnknown ? "true" : "false") + "," + lidarConfigJson(config) + "}");
        } else if (path == "/__demo") {
            json(describe());
        } else {
            return false;
        }
        return true;
    }

    std::string describe() {
        std::string out = DemoArea::instance().describeJson();
        out.pop_back();
        const std::string county(demo::kCountyTeryt);
        const std::pair<const char*, std::string> services[] = {
            {"boundariesWfs", "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries"},
            {"boundariesWms", "/wss/service/PZGIK/PRG/WMS/AdministrativeBoundaries"},
            {"egib", "/wss/ext/PowiatoweBazyEwidencjiGruntow/" + county},
            {"gesut", "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/" + county},
            {"bdot500Wms", "/map/geoportal/wmsb.php"},
            {"newBuildingsWfs", "/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki"},
            {"orthophotoWms", "/wss/service/PZGIK/ORTO/WMS/StandardResolution"},
            {"cadastreIntegrationWms", "/cgi-bin/KrajowaIntegracjaEwidencjiGruntow"},
            {"mpzpPreviewWms", "/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego"},
            {"pogPreviewWms", "/wss/ext/PlanyOgolneGmin"},
            {"lidarIndexWfs", std::string(demo::kLidarIndexPath)},
            {"nominatimSearch", "/search"},
            {"photonSearch", "/api/"},
        };
        out += ",\"baseUrl\":\"" + base() + "\",\"services\":{";
        bool first = true;
        for (const auto& [key, path] : services) {
            if (!first) out += ",";
            first = false;
            out += "\"" + std::string(key) + "\":\"" + base() + path + "\"";
        }
        return out + "}," + lidarConfigJson(currentConfig()) + "}";
    }

    // ---- services ---------------------------------------------------------
    Reply serve(const ServiceRequest& request) {
        for (const auto& route : routes) {
            if (!std::regex_match(request.path, route.pattern)) continue;
            const ServiceFamily& family = *route.family;
            if (family.handler) return family.handler(request);
            std::string service = toLower(request.param("service"));
            const std::string op = toLower(request.param("request"));
            if (service.empty()) {
                if (op == "getmap" || op == "getlegendgraphic") service = "wms";
                else if (op == "getfeature" || op == "describefeaturetype") service = "wfs";
                else service = family.wfsLayers.empty() ? "wms" : "wfs";
            }
            if (service == "wms") return handleWms(family, request);
            if (service == "wfs") return handleWfs(family, request);
            return {400, "text/xml; charset=UTF-8",
                    exceptionReport("InvalidParameterValue", "service", "Unknown SERVICE '" + service + "'.", false)};
        }
        return {404, "text/html; charset=UTF-8", htmlPage(404, "Not Found")};
    }

    void handle(const httplib::Request& req, httplib::Response& res) {
        if (req.path.rfind("/__", 0) == 0 && req.path.rfind(kProfilePrefix, 0) != 0 && control(req, res)) return;

        LoggedRequest entry;
        entry.method = req.method;
        entry.path = req.path;
        entry.target = req.target;
        ServiceRequest request;
        request.path = req.path;
        if (req.path.rfind(kProfilePrefix, 0) == 0) {
            const auto rest = req.path.substr(kProfilePrefix.size());
            const auto slash = rest.find('/');
            request.profile = rest.substr(0, slash);
            request.path = slash == std::string::npos ? "/" : rest.substr(slash);
        }
        request.selfUrl = base() + req.path;
        request.config = currentConfig();
        std::optional<Fault> fault;
        for (const auto& [k, v] : req.params) {
            entry.params.emplace_back(k, v);
            if (k.rfind("__", 0) != 0) request.params.emplace_back(k, v);
        }
        if (req.has_param(std::string(kFaultParam).c_str()))
            fault = parseFault(req.get_param_value("__fault"), req.get_param_value("__fault_status"), req.get_param_value("__fault_ms"));
        if (!fault) fault = faults.take(req.path, req.target);
        if (fault) entry.fault = faultName(*fault);

        if (fault && fault->kind == FaultKind::Reset) {
            // Logged first: the client goes on the moment the reset reaches it.
            entry.status = 0;
            log.add(std::move(entry));
            resetConnection(port, req.remote_addr, req.remote_port);
            res.status = 500;
            return;
        }
        Reply reply;
        if (fault && (fault->kind == FaultKind::Status || fault->kind == FaultKind::NotFound)) {
            reply = {fault->status, "text/html; charset=UTF-8", htmlPage(fault->status, reasonFor(fault->status))};
        } else if (fault && fault->kind == FaultKind::Html) {
            reply = {200, "text/html; charset=UTF-8", htmlPage(200, "Przerwa techniczna")};
        } else if (fault && fault->kind == FaultKind::Exception) {
            reply = {200, "text/xml; charset=UTF-8",
                     exceptionReport("NoApplicableCode", "", "Service temporarily unavailable, please try again later.", false)};
        } else if (fault && fault->kind == FaultKind::Empty) {
            reply = {200, "text/xml; charset=UTF-8", {}};
        } else {
            if (fault && fault->kind == FaultKind::Slow) sleepUnlessStopping(fault->delayMs);
            reply = serve(request);
            if (fault && fault->kind == FaultKind::WrongType) reply.contentType = "text/html; charset=UTF-8";
        }
        entry.status = reply.status;
        log.add(std::move(entry));

        res.status = reply.status == 0 ? 500 : reply.status;
        if (fault && fault->kind == FaultKind::Cut) {
            // Without a length only the close ends the body, so a client
            // cannot tell this half from a whole answer by the transfer.
            const std::string head = "HTTP/1.0 " + formatInt(res.status) + " OK\r\nContent-Type: " + reply.contentType +
                                     "\r\nConnection: close\r\n\r\n";
            sendThenClose(port, req.remote_addr, req.remote_port,
                          head + reply.body.substr(0, reply.body.size() / 2));
            return;
        }
        if (fault && fault->kind == FaultKind::Truncate) {
            auto body = std::make_shared<std::string>(std::move(reply.body));
            res.set_content_provider(body->size(), reply.contentType,
                                     [body](size_t offset, size_t, httplib::DataSink& sink) {
                                         // Half the announced length, then the connection goes down.
                                         const size_t half = body->size() / 2;
                                         if (offset < half) sink.write(body->data() + offset, half - offset);
                                         return false;
                                     });
            return;
        }
        res.set_content(reply.body, reply.contentType);
    }
};

GeoportalServer::GeoportalServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

GeoportalServer::~GeoportalServer() { stop(); }

StartResult GeoportalServer::start() {
    if (!isLoopbackHost(impl_->options.host))
        return {false, "Serwer geoportalu nasluchuje tylko na 127.0.0.1, odrzucono adres: " + impl_->options.host};
    if (impl_->thread.joinable()) return {true, {}};
    auto& http = impl_->http;
    http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { impl_->handle(req, res); });
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(htmlPage(500, "Internal Server Error"), "text/html; charset=UTF-8");
    });
    const int port = impl_->options.port;
    if (port < 0 || port > 65535) return {false, "Nieprawidlowy port: " + formatInt(port)};
    int bound = port == 0 ? http.bind_to_any_port("127.0.0.1") : (http.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) return {false, "Nie mozna otworzyc portu " + formatInt(port) + " na 127.0.0.1"};
    impl_->port = bound;
    impl_->thread = std::thread([this] { impl_->http.listen_after_bind(); });
    // A stop() before the accept loop runs would be lost, so wait until it does.
    for (int i = 0; i < 5000 && !impl_->http.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return {true, {}};
}

void GeoportalServer::stop() {
    if (!impl_->thread.joinable()) return;
    impl_->stopping = true;
    impl_->http.stop();
    impl_->thread.join();
}

int GeoportalServer::port() const { return impl_->port; }
std::string GeoportalServer::baseUrl() const { return impl_->base(); }
FaultTable& GeoportalServer::faults() { return impl_->faults; }
RequestLog& GeoportalServer::log() { return impl_->log; }
std::string GeoportalServer::describeJson() const { return impl_->describe(); }

void GeoportalServer::setConfig(const ServiceConfig& config) {
    std::lock_guard lock(impl_->configMutex);
    impl_->config = config;
}

}  // namespace kl::geoportal
