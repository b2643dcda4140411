// "searchAddress" and "searchAddressSuggest": both ask a geocoder on a worker
// and post the answer back to the page. A search waits up to 15 s per try
// with one retry; answered in the handler it would freeze the host's window
// for the better part of a minute.
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "import/import_controller.h"
#include "net/geocoder.h"
#include "base/worker_registry.h"

namespace kl::import {
namespace {

using nlohmann::json;

// A message for the page: its type and its members.
using PageMessage = std::pair<std::string, json>;

// The request's "query"; empty when absent, nothing when it is not a text.
std::optional<std::string> queryOf(const json& msg) {
    const auto it = msg.find("query");
    if (it == msg.end() || it->is_null()) return std::string();
    if (!it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

json itemJson(const net::AddressPlace& place) {
    return {{"lat", place.lat}, {"lon", place.lon}, {"label", place.label}};
}

// The answer names its query: searches overlap, and the page follows only
// the latest one.
PageMessage searchReply(const std::string& query, const net::AddressSearch& found) {
    if (!found.error.empty()) return {"error", {{"msg", found.error}}};
    json reply = found.place ? itemJson(*found.place) : json::object();
    reply["query"] = query;
    return {"addressResults", std::move(reply)};
}

// Runs the look-up on a worker; its message reaches the page if both the
// controller and the page are still there. False once the add-on is closing.
bool lookUpOnWorker(std::string name, const PageLink& link, std::weak_ptr<bool> life,
                    std::function<PageMessage()> lookUp) {
    return WorkerRegistry::instance()
        .start(std::move(name),
               [link, life = std::move(life), lookUp = std::move(lookUp)](const CancelToken&) {
                   link.post([link, life, message = lookUp()]() mutable {
                       if (!life.expired() && link.alive()) link.send(message.first, std::move(message.second));
                   });
               })
        .has_value();
}

}  // namespace

json ImportController::onSearchAddress(const json& msg) {
    const auto query = queryOf(msg);
    if (!query) return errorReply("Pole \"query\" musi byc tekstem.");
    const bool started = lookUpOnWorker(
        "address-search", link_, life_,
        [hosts = hosts_, timings = services_->client.timings(), query = *query] {
            net::WfsClient client(timings, hosts);
            return searchReply(query, net::nominatimSearch(client, hosts.nominatim, query));
        });
    if (!started) return errorReply("Nie mozna uruchomic wyszukiwania (dodatek jest zamykany).");
    return nullptr;
}

json ImportController::onSearchAddressSuggest(const json& msg) {
    const auto query = queryOf(msg);
    if (!query) return errorReply("Pole \"query\" musi byc tekstem.");
    const bool started = lookUpOnWorker(
        "address-suggest", link_, life_,
        [hosts = hosts_, timings = services_->client.timings(), query = *query] {
            net::WfsClient client(timings, hosts);
            json items = json::array();
            for (const net::AddressPlace& place : net::photonSuggest(client, hosts.photon, query))
                items.push_back(itemJson(place));
            return PageMessage{"addressSuggestions", {{"query", query}, {"items", std::move(items)}}};
        });
    if (!started) return {{"type", "addressSuggestions"}, {"query", *query}, {"items", json::array()}};
    return nullptr;
}

}  // namespace kl::import
