// The JSON API that the workbench page and the tests use. Every request is
// answered from the main thread, in order with the add-on's own work.
#include <httplib.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "host/core/guid.h"
#include "host/server/content_types.h"
#include "host/server/main_thread_call.h"
#include "host/server/workbench_server.h"
#include "host/server/bounded_json.h"

namespace kl::host {
namespace {

using json = nlohmann::json;

void reply(httplib::Response& res, const std::optional<json>& body) {
    if (!body) {
        res.status = 503;
        res.set_content("{\"error\":\"the main thread did not answer\"}", kJsonContentType);
        return;
    }
    res.set_content(body->dump(-1, ' ', false, json::error_handler_t::replace), kJsonContentType);
}

void badRequest(httplib::Response& res, const std::string& why) {
    res.status = 400;
    res.set_content(json{{"error", why}}.dump(), kJsonContentType);
}

// A field of the wrong type or range: the request is answered 400 naming it.
struct BadField {
    std::string key;
    const char* expected;
};

int32_t intOf(const json& j, const char* key, int32_t fallback = 0) {
    auto it = j.find(key);
    if (it == j.end()) return fallback;
    if (it->is_number_unsigned() && it->get<uint64_t>() <= uint64_t(INT32_MAX)) return it->get<int32_t>();
    if (it->is_number_integer() && !it->is_number_unsigned() && it->get<int64_t>() >= INT32_MIN &&
        it->get<int64_t>() <= INT32_MAX)
        return it->get<int32_t>();
    throw BadField{key, "a 32-bit integer"};
}

template <class T>
T valueOf(const json& j, const char* key, T fallback) {
    auto it = j.find(key);
    if (it == j.end()) return fallback;
    const bool fits = std::is_same_v<T, bool> ? it->is_boolean() : it->is_string();
    if (!fits) throw BadField{key, std::is_same_v<T, bool> ? "true or false" : "a string"};
    return it->get<T>();
}

template <size_t N>
void setText(char (&field)[N], const json& j, const char* key) {
    auto it = j.find(key);
    if (it == j.end() || !it->is_string()) return;
    const std::string s = it->get<std::string>();
    std::memset(field, 0, N);
    std::memcpy(field, s.data(), std::min(s.size(), N - 1));
}

void setNumber(double& field, const json& j, const char* key) {
    auto it = j.find(key);
    if (it != j.end() && it->is_number()) field = it->get<double>();
}

KlGeoLocation geoFrom(const KlGeoLocation& current, const json& j) {
    KlGeoLocation g = current;
    setNumber(g.latitude, j, "latitude");
    setNumber(g.longitude, j, "longitude");
    setNumber(g.altitude, j, "altitude");
    setNumber(g.surveyEasting, j, "surveyEasting");
    setNumber(g.surveyNorthing, j, "surveyNorthing");
    setNumber(g.surveyElevation, j, "surveyElevation");
    setNumber(g.scaleFactor, j, "scaleFactor");
    if (j.contains("hasLocation") && j["hasLocation"].is_boolean()) g.hasLocation = j["hasLocation"].get<bool>();
    setText(g.crsName, j, "crsName");
    setText(g.crsDescription, j, "crsDescription");
    setText(g.geodeticDatum, j, "geodeticDatum");
    setText(g.verticalDatum, j, "verticalDatum");
    setText(g.mapProjection, j, "mapProjection");
    setText(g.mapZone, j, "mapZone");
    return g;
}

std::string encodeSegment(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

// The bytes of a picture element as the plan view draws them.
void WorkbenchServer::sendPicture(const std::string& guidText, httplib::Response& res) {
    const std::optional<KlGuid> guid = parseGuid(guidText);
    Workbench* wb = &wb_;
    struct Picture {
        std::string mime, bytes;
    };
    const auto picture = guid ? callOnMain(wb_, [wb, g = *guid]() -> std::optional<Picture> {
        const ElementRecord* r = wb->project().elements().find(g);
        if (!r || r->element.type != KL_ELEM_PICTURE) return std::nullopt;
        const char* mime = r->element.picMimeType;
        return Picture{std::string(mime, strnlen(mime, KL_MIME_MAX + 1)), std::string(r->data.begin(), r->data.end())};
    })
                                    : std::nullopt;
    if (!picture || !*picture) {
        res.status = 404;
        return;
    }
    res.set_header("Cache-Control", "private, max-age=3600");
    res.set_content((*picture)->bytes, (*picture)->mime);
}

void WorkbenchServer::routeApi(const std::string& name, const httplib::Request& req, httplib::Response& res) {
    try {
        answerApi(name, req, res);
    } catch (const BadField& bad) {
        badRequest(res, "\"" + bad.key + "\" must be " + bad.expected);
    }
}

void WorkbenchServer::answerApi(const std::string& name, const httplib::Request& req, httplib::Response& res) {
    Workbench* wb = &wb_;
    if (req.method == "GET") {
        if (name == "state") {
            const std::string pages = base() + "b/";
            return reply(res, callOnMain(wb_, [wb, pages] {
                json s = wb->state();
                for (auto& p : s["palettes"])
                    for (auto& b : p["browsers"])
                        if (b["hasPage"].get<bool>())
                            b["page"] = pages + std::to_string(b["id"].get<int>()) + "/" +
                                        encodeSegment(b["startFile"].get<std::string>()) +
                                        b["suffix"].get<std::string>();
                return s;
            }));
        }
        if (name == "model") {
            // Sent as the project prints it: parsing and printing it again cost the main thread twice as much,
            // and a large site's model then missed its time.
            auto text = callOnMain(wb_, [wb] { return wb->project().serialise(); });
            if (!text) return reply(res, std::nullopt);
            res.set_content(std::move(*text), kJsonContentType);
            return;
        }
        if (name.rfind("picture/", 0) == 0) return sendPicture(name.substr(8), res);
        res.status = 404;
        return;
    }
    if (req.method != "POST") {
        res.status = 404;
        return;
    }
    const json body = req.body.empty() ? json::object() : parseBoundedJson(req.body);
    if (!body.is_object()) return badRequest(res, "the body must be a JSON object nested at most 64 deep");

    if (name == "menu") {
        const int32_t menu = intOf(body, "menu", 32500), item = intOf(body, "item");
        return reply(res, callOnMain(wb_, [wb, menu, item] { return json{{"result", wb->menuCommand(menu, item)}}; }));
    }
    if (name == "palette-message") {
        int32_t ref = intOf(body, "ref");
        std::optional<KlGuid> guid;
        if (body.contains("guid") && body["guid"].is_string()) guid = parseGuid(body["guid"].get<std::string>());
        const int32_t message = intOf(body, "message");
        return reply(res, callOnMain(wb_, [wb, ref, guid, message]() mutable {
            if (guid) {
                const PaletteRegistration* r = wb->palettes().registrationFor(*guid);
                if (!r) return json{{"result", KL_ERR_BADID}};
                ref = r->referenceNumber;
            }
            int32_t visible = 0;
            const KlErr err = wb->paletteMessage(ref, message, &visible);
            json out{{"result", err}};
            if (message == KL_PALETTE_IS_VISIBLE) out["visible"] = visible != 0;
            return out;
        }));
    }
    if (name == "palette-close") {
        const int32_t id = intOf(body, "palette");
        return reply(res, callOnMain(wb_, [wb, id] { return json{{"result", wb->closeBox(id)}}; }));
    }
    if (name == "palette-close-request") {
        const int32_t id = intOf(body, "palette");
        return reply(res, callOnMain(wb_, [wb, id] {
            auto accepted = wb->closeRequest(id);
            return json{{"accepted", accepted ? json(*accepted != 0) : json()}};
        }));
    }
    if (name == "palette-resize") {
        const int32_t id = intOf(body, "palette"), dx = intOf(body, "dx"), dy = intOf(body, "dy");
        return reply(res, callOnMain(wb_, [wb, id, dx, dy] { return json{{"result", wb->resizePalette(id, dx, dy)}}; }));
    }
    if (name == "undo") return reply(res, callOnMain(wb_, [wb] { return json{{"done", wb->undo()}}; }));
    if (name == "redo") return reply(res, callOnMain(wb_, [wb] { return json{{"done", wb->redo()}}; }));
    if (name == "open-another-project")
        return reply(res, callOnMain(wb_, [wb] {
            wb->openAnotherProject();
            return json{{"done", true}};
        }));
    if (name == "event") {
        const int32_t value = intOf(body, "event");
        return reply(res, callOnMain(wb_, [wb, value] { return json{{"called", wb->sendProjectEvent(value)}}; }));
    }
    if (name == "fault") {
        FaultRule rule;
        rule.function = valueOf(body, "function", std::string());
        rule.nth = std::max<int64_t>(1, intOf(body, "nth", 1));
        rule.code = intOf(body, "code", KL_ERR_GENERAL);
        rule.sticky = valueOf(body, "sticky", false);
        if (rule.function.empty()) return badRequest(res, "function missing");
        wb_.faults().arm(rule);
        return reply(res, json{{"faults", wb_.faults().describe()}});
    }
    if (name == "fault-clear") {
        wb_.faults().clear();
        return reply(res, json{{"faults", wb_.faults().describe()}});
    }
    if (name == "geo-refuse") {
        std::vector<std::string> fields;
        if (body.contains("fields") && body["fields"].is_array())
            for (const auto& f : body["fields"])
                if (f.is_string()) fields.push_back(f.get<std::string>());
        wb_.faults().refuseGeoFields(std::move(fields));
        return reply(res, json{{"faults", wb_.faults().describe()}});
    }
    if (name == "geo") {
        return reply(res, callOnMain(wb_, [wb, body] {
            const KlGeoLocation g = geoFrom(wb->project().geoLocation(), body);
            const KlErr err = wb->project().setGeoLocation(g);
            wb->feed().bump();
            return json{{"result", err}};
        }));
    }
    if (name == "selection") {
        std::vector<KlGuid> guids;
        if (body.contains("guids") && body["guids"].is_array())
            for (const auto& g : body["guids"])
                if (g.is_string())
                    if (auto parsed = parseGuid(g.get<std::string>())) guids.push_back(*parsed);
        return reply(res, callOnMain(wb_, [wb, guids] {
            wb->selectElements(guids);
            return json{{"selected", guids.size()}};
        }));
    }
    if (name == "alert-script") {
        std::vector<int32_t> answers;
        if (body.contains("answers") && body["answers"].is_array())
            for (const auto& a : body["answers"]) {
                if (!a.is_number_integer() || a.get<int64_t>() < 0 || a.get<int64_t>() > 3)
                    return badRequest(res, "\"answers\" must be button numbers 0 to 3");
                answers.push_back(a.get<int32_t>());
            }
        return reply(res, callOnMain(wb_, [wb, answers] {
            wb->alerts().script(answers);
            return json{{"scripted", answers.size()}};
        }));
    }
    if (name == "alert-answer") {
        const int32_t button = intOf(body, "button");
        return reply(res, callOnMain(wb_, [wb, button] { return json{{"answered", wb->answerAlert(button)}}; }));
    }
    if (name == "quit") {
        if (options_.onQuitRequest) options_.onQuitRequest();
        return reply(res, json{{"quitting", true}});
    }
    res.status = 404;
}

}  // namespace kl::host
