#include "host/core/browser_hub.h"

namespace kl::host {

void BrowserHub::open(int32_t browser) {
    std::lock_guard lock(mutex_);
    channels_[browser];
}

void BrowserHub::close(int32_t browser) {
    std::lock_guard lock(mutex_);
    channels_.erase(browser);
    cv_.notify_all();
}

void BrowserHub::closeAll() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    channels_.clear();
    cv_.notify_all();
}

void BrowserHub::setPage(int32_t browser, std::filesystem::path folder, std::string startFile) {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(browser);
    if (it == channels_.end()) return;
    auto objects = std::move(it->second.page.objects);
    it->second.page = PageInfo{std::move(folder), std::move(startFile), std::move(objects)};
    it->second.hasPage = true;
    it->second.queue.clear();
    cv_.notify_all();
}

void BrowserHub::addObject(int32_t browser, const std::string& object, const std::string& function) {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(browser);
    if (it == channels_.end()) return;
    for (const auto& o : it->second.page.objects)
        if (o.first == object && o.second == function) return;
    it->second.page.objects.emplace_back(object, function);
    it->second.queue.push_back({PageEvent::Object, object, function});
    cv_.notify_all();
}

bool BrowserHub::pushScript(int32_t browser, std::string script) {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(browser);
    if (it == channels_.end()) return false;
    it->second.queue.push_back({PageEvent::Script, std::move(script), {}});
    cv_.notify_all();
    return true;
}

std::optional<PageInfo> BrowserHub::page(int32_t browser) const {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(browser);
    if (it == channels_.end() || !it->second.hasPage) return std::nullopt;
    return it->second.page;
}

std::optional<uint64_t> BrowserHub::attachStream(int32_t browser) {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(browser);
    if (closed_ || it == channels_.end()) return std::nullopt;
    it->second.stream = nextStream_++;
    cv_.notify_all();
    return it->second.stream;
}

std::optional<std::vector<PageEvent>> BrowserHub::next(int32_t browser, uint64_t stream,
                                                       std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    auto live = [&]() -> Channel* {
        auto it = channels_.find(browser);
        if (closed_ || it == channels_.end() || it->second.stream != stream) return nullptr;
        return &it->second;
    };
    cv_.wait_for(lock, timeout, [&] {
        Channel* c = live();
        return !c || !c->queue.empty();
    });
    Channel* c = live();
    if (!c) return std::nullopt;
    std::vector<PageEvent> out(std::make_move_iterator(c->queue.begin()), std::make_move_iterator(c->queue.end()));
    c->queue.clear();
    return out;
}

size_t BrowserHub::queuedScripts(int32_t browser) const {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(browser);
    return it == channels_.end() ? 0 : it->second.queue.size();
}

}  // namespace kl::host
