#include "base/bridge.h"

#include <exception>
#include <utility>

#include "base/json_text.h"
#include "base/message_fields.h"
#include "base/entry_barrier.h"
#include "base/diag_log.h"
#include "base/json_nesting.h"

namespace kl {

void Bridge::on(std::string name, Handler handler) { handlers_[std::move(name)] = std::move(handler); }

void Bridge::setSender(Sender sender) { sender_ = std::move(sender); }

void Bridge::clear() {
    handlers_.clear();
    sender_ = nullptr;
}

bool Bridge::hasHandler(std::string_view name) const { return handlers_.find(name) != handlers_.end(); }

void Bridge::onMessage(std::string_view text) noexcept {
    platform::guarded("Bridge::onMessage", [this, text] {
        nlohmann::json msg;
        if (text.size() <= kMaxMessageBytes && platform::jsonNestingWithin(text))
            msg = nlohmann::json::parse(text, nullptr, false);
        if (!msg.is_object() || !msg.contains("type") || !msg["type"].is_string()) {
            send("error", errorReply("Nieprawidlowa wiadomosc z UI (JSON)"));
            return;
        }
        const std::string type = msg["type"].get<std::string>();
        const auto it = handlers_.find(type);
        if (it == handlers_.end()) {
            send("error", errorReply("Brak obslugi wiadomosci: " + type));
            return;
        }
        if (const std::string wrong = wrongFieldKind(msg); !wrong.empty()) {
            send("error", errorReply(wrong));
            return;
        }
        nlohmann::json reply;
        try {
            // A copy: the handler may replace itself while it runs.
            const Handler handler = it->second;
            reply = handler(msg);
        } catch (const nlohmann::json::exception&) {
            // A field the table does not know: still the user's words, not the library's.
            send("error", errorReply("Nieprawidlowe dane w wiadomosci \"" + type + "\"."));
            return;
        } catch (const std::exception& e) {
            send("error", errorReply(std::string("Blad wewnetrzny: ") + e.what()));
            return;
        } catch (...) {
            send("error", errorReply("Blad wewnetrzny: nieznany wyjatek"));
            return;
        }
        if (reply.is_null()) return;
        std::string replyType = type + "Result";
        if (reply.is_object()) {
            const auto t = reply.find("type");
            if (t != reply.end() && t->is_string()) replyType = t->get<std::string>();
        }
        send(replyType, std::move(reply));
    });
}

void Bridge::send(const std::string& type, nlohmann::json obj) noexcept {
    if (!sender_) return;
    platform::guarded("Bridge::send", [this, &type, &obj] {
        if (!obj.is_object()) {
            nlohmann::json wrapped = nlohmann::json::object();
            if (!obj.is_null()) wrapped["value"] = std::move(obj);
            obj = std::move(wrapped);
        }
        obj["type"] = type;
        // A copy, so that a sender replacing itself stays alive while it runs.
        const Sender sender = sender_;
        sender(toScriptSafeJson(obj));
    });
}

}  // namespace kl
