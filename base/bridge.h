#pragma once
// One palette's message channel to its page: a table of handlers keyed by the
// message "type" and a sender that delivers serialised messages to the page.
// Main thread only.
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

namespace kl {

// A handler's reply that the page shows to the user as an error message.
inline nlohmann::json errorReply(std::string text) { return {{"type", "error"}, {"msg", std::move(text)}}; }

class Bridge {
public:
    // Returns the reply; null means "no reply now" (the handler may push
    // events later). A reply without a string "type" goes out as the request
    // type + "Result".
    using Handler = std::function<nlohmann::json(const nlohmann::json&)>;
    using Sender = std::function<void(const std::string&)>;

    // Larger messages are refused as malformed before parsing.
    static constexpr std::size_t kMaxMessageBytes = std::size_t{8} << 20;

    // Registers or replaces the handler for messages of that type.
    void on(std::string name, Handler handler);
    void setSender(Sender sender);

    // Dispatches one text received from the page. Never throws: malformed
    // messages, unknown types and failing handlers become "error" messages.
    void onMessage(std::string_view text) noexcept;

    // Sends obj with obj["type"] = type. Dropped when no sender is set.
    // Never throws; a failing sender is only logged.
    void send(const std::string& type, nlohmann::json obj) noexcept;

    // Releases handlers and sender (the palette does this while dying).
    void clear();

    bool hasHandler(std::string_view name) const;

private:
    std::map<std::string, Handler, std::less<>> handlers_;
    Sender sender_;
};

}  // namespace kl
