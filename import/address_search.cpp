// "searchAddress" and "searchAddressSuggest": both ask a geocoder on a worker
// and post the answer back to the page. A search waits up to 15 s per try
// with one retry; answered in the handler it would freeze the host's window
// for the better part of a minute.
#include <memory>
#include <string>
#include <utility>

#include "import/import_controller.h"
#include "net/geocoder.h"
#include "shell/worker_registry.h"

namespace kl::import {
namespace {

using nlohmann::json;

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

json searchReply(const net::AddressSearch& found) {
    if (!found.error.empty()) return {{"type", "error"}, {"msg", found.error}};
    json reply = {{"type", "addressResults"}};
    if (found.place) reply.update(itemJson(*found.place));
    return reply;
}

}  // namespace

json ImportController::onSearchAddress(const json& msg) {
    const auto query = queryOf(msg);
    if (!query) return {{"type", "error"}, {"msg", "Pole \"query\" musi byc tekstem."}};
    std::weak_ptr<bool> life = life_;
    const auto started = WorkerRegistry::instance().start(
        "address-search", [link = link_, life, origin = hosts_.nominatim, timings = services_->client.timings(),
                           query = *query](const CancelToken&) {
            net::WfsClient client(timings);
            json reply = searchReply(net::nominatimSearch(client, origin, query));
            link.post([link, life, reply = std::move(reply)]() mutable {
                if (life.expired() || !link.alive()) return;
                const std::string type = reply["type"];
                reply.erase("type");
                link.send(type, std::move(reply));
            });
        });
    if (!started) return {{"type", "error"}, {"msg", "Nie mozna uruchomic wyszukiwania (dodatek jest zamykany)."}};
    return nullptr;
}

json ImportController::onSearchAddressSuggest(const json& msg) {
    const auto query = queryOf(msg);
    if (!query) return {{"type", "error"}, {"msg", "Pole \"query\" musi byc tekstem."}};
    std::weak_ptr<bool> life = life_;
    const auto started = WorkerRegistry::instance().start(
        "address-suggest", [link = link_, life, origin = hosts_.photon, timings = services_->client.timings(),
                            query = *query](const CancelToken&) {
            net::WfsClient client(timings);
            json items = json::array();
            for (const net::AddressPlace& place : net::photonSuggest(client, origin, query)) items.push_back(itemJson(place));
            link.post([link, life, query, items = std::move(items)]() mutable {
                if (life.expired() || !link.alive()) return;
                link.send("addressSuggestions", {{"query", query}, {"items", std::move(items)}});
            });
        });
    if (!started) return {{"type", "addressSuggestions"}, {"query", *query}, {"items", json::array()}};
    return nullptr;
}

}  // namespace kl::import
