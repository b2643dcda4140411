#pragma once
// The web side of the palette browsers, shared between the main thread (which
// loads pages, registers script objects and executes scripts) and the HTTP
// threads (which serve the page folder and stream the scripts to the page).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kl::host {

struct PageEvent {
    enum Kind { Script, Object } kind = Script;
    std::string text;      // the script, or the object name
    std::string function;  // for Object
};

struct PageInfo {
    std::filesystem::path folder;
    std::string startFile;
    std::vector<std::pair<std::string, std::string>> objects;  // (object, function)
};

class BrowserHub {
public:
    void open(int32_t browser);
    void close(int32_t browser);
    void closeAll();

    // A new page: earlier scripts are forgotten.
    void setPage(int32_t browser, std::filesystem::path folder, std::string startFile);
    void addObject(int32_t browser, const std::string& object, const std::string& function);
    bool pushScript(int32_t browser, std::string script);

    std::optional<PageInfo> page(int32_t browser) const;

    // One stream per browser delivers its events; a newer stream replaces an
    // older one. next() waits up to timeout and returns nullopt once the
    // stream is over (browser gone, replaced, or hub closed).
    std::optional<uint64_t> attachStream(int32_t browser);
    std::optional<std::vector<PageEvent>> next(int32_t browser, uint64_t stream, std::chrono::milliseconds timeout);

    size_t queuedScripts(int32_t browser) const;

private:
    struct Channel {
        PageInfo page;
        bool hasPage = false;
        std::deque<PageEvent> queue;
        uint64_t stream = 0;
    };
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<int32_t, Channel> channels_;
    uint64_t nextStream_ = 1;
    bool closed_ = false;
};

}  // namespace kl::host
