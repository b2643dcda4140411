#include "host/server/page_injection.h"

#include <cctype>

#include <nlohmann/json.hpp>

namespace kl::host {
namespace {

const char* kScript = R"JS(
(function () {
  'use strict';
  var base = __BASE__;
  var pending = [], busy = false;
  function wellFormed(s) {
    if (typeof s.toWellFormed === 'function') return s.toWellFormed();
    return new TextDecoder().decode(new TextEncoder().encode(s));
  }
  function flush() {
    if (busy || pending.length === 0) return;
    busy = true;
    var batch = pending;
    pending = [];
    var body = JSON.stringify(batch.map(function (c) { return { o: c.o, f: c.f, s: c.s, a: c.a }; }));
    var finish = function () {
      batch.forEach(function (c) { c.done(true); });
      busy = false;
      flush();
    };
    fetch(base + 'call', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: body })
      .then(finish, finish);
  }
  function define(objectName, functionName) {
    var target = window[objectName] || (window[objectName] = {});
    target[functionName] = function (arg) {
      return new Promise(function (resolve) {
        var isString = typeof arg === 'string';
        pending.push({ o: objectName, f: functionName, s: isString, a: isString ? wellFormed(arg) : null, done: resolve });
        flush();
      });
    };
  }
  __OBJECTS__.forEach(function (d) { define(d[0], d[1]); });
  var events = new EventSource(base + 'events');
  events.addEventListener('object', function (e) {
    var d = JSON.parse(e.data);
    define(d[0], d[1]);
  });
  events.addEventListener('script', function (e) {
    try {
      (0, eval)(JSON.parse(e.data));
    } catch (err) {
      console.error('script from the add-on failed:', err);
    }
  });
  var report = function (state) {
    fetch(base + 'state', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(state) });
  };
  window.addEventListener('load', function () { report({ loading: false }); });
})();
)JS";

void replaceAll(std::string& s, const std::string& what, const std::string& with) {
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
        s.replace(at, what.size(), with);
}

// JSON text that is also safe inside an inline script element.
std::string scriptSafeJson(const nlohmann::json& j) {
    std::string s = j.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
    replaceAll(s, "<", "\\u003c");
    return s;
}

}  // namespace

std::string browserScript(const std::string& channelBase,
                          const std::vector<std::pair<std::string, std::string>>& objects) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [o, f] : objects) list.push_back({o, f});
    std::string s = kScript;
    replaceAll(s, "__BASE__", scriptSafeJson(channelBase));
    replaceAll(s, "__OBJECTS__", scriptSafeJson(list));
    return "<script>" + s + "</script>";
}

std::string injectIntoHtml(const std::string& html, const std::string& script) {
    size_t at = 0;
    if (html.compare(0, 3, "\xEF\xBB\xBF") == 0) at = 3;
    while (at < html.size() && (html[at] == ' ' || html[at] == '\n' || html[at] == '\r' || html[at] == '\t')) ++at;
    if (html.size() >= at + 9) {
        std::string head = html.substr(at, 9);
        for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (head == "<!doctype") {
            const size_t close = html.find('>', at);
            if (close != std::string::npos) at = close + 1;
        } else {
            at = 0;
        }
    } else {
        at = 0;
    }
    return html.substr(0, at) + script + html.substr(at);
}

}  // namespace kl::host
