#include "host/core/workbench.h"

#include <cstdio>
#include <cstring>

#include "host/core/desktop_open.h"

namespace kl::host {
namespace {

std::atomic<Workbench*> currentWorkbench{nullptr};

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

Workbench::Workbench(WorkbenchOptions options)
    : options_(std::move(options)), mainThread_(std::this_thread::get_id()) {
    currentWorkbench.store(this);
}

Workbench::~Workbench() {
    hub_.closeAll();
    feed_.close();
    executor_.shutdown();
    Workbench* self = this;
    currentWorkbench.compare_exchange_strong(self, nullptr);
}

Workbench* Workbench::current() { return currentWorkbench.load(); }

void Workbench::noteOffThreadCall(const char* function) {
    ++offThreadCalls_;
    std::fprintf(stderr, "workbench: host function %s called off the main thread, refused\n", function);
}

KlErr Workbench::registerMenu(int32_t stringListId, int32_t, int32_t, int32_t) {
    auto strings = resources_.stringList(stringListId);
    if (!strings) return KL_ERR_BADID;
    KlErr err = menus_.add(stringListId, *strings);
    feed_.bump();
    return err;
}

KlErr Workbench::catchProjectEvent(int32_t mask, KlProjectEventHandler handler) {
    if (!handler) return KL_ERR_BADPARS;
    for (auto it = catchers_.begin(); it != catchers_.end(); ++it) {
        if (it->handler != handler) continue;
        if (mask == 0)
            catchers_.erase(it);
        else
            it->mask = mask;
        return KL_NOERROR;
    }
    if (mask != 0) catchers_.push_back({mask, handler});
    return KL_NOERROR;
}

int32_t Workbench::sendProjectEvent(int32_t value) {
    if (value == KL_EVENT_QUIT) {
        if (quitSent_) return 0;
        quitSent_ = true;
    }
    const auto catchers = catchers_;  // a handler may change the list
    int32_t called = 0;
    for (const auto& c : catchers) {
        if (!(c.mask & value)) continue;
        ++called;
        try {
            c.handler(value);
        } catch (...) {
            writeReport("workbench: a project event handler threw", 0);
        }
    }
    feed_.bump();
    return called;
}

KlErr Workbench::keepInMemory(int32_t keep) {
    keepInMemory_ = keep != 0;
    return KL_NOERROR;
}

KlErr Workbench::writeReport(const char* message, int32_t withDialog) {
    if (!message) return KL_ERR_BADPARS;
    report_.push_back({message, withDialog != 0});
    std::fprintf(stderr, "report: %s\n", message);
    feed_.bump();
    return KL_NOERROR;
}

KlErr Workbench::loadResource(uint32_t type, int32_t id, const unsigned char** data, size_t* size) const {
    if (!data || !size) return KL_ERR_BADPARS;
    const KlResource* r = resources_.find(type, id);
    if (!r) return KL_ERR_BADID;
    *data = r->data;
    *size = r->size;
    return KL_NOERROR;
}

KlErr Workbench::indString(int32_t listId, int32_t index, char* buffer, size_t bufferSize) const {
    if (!buffer || bufferSize == 0) return KL_ERR_BADPARS;
    buffer[0] = '\0';
    auto strings = resources_.stringList(listId);
    if (!strings) return KL_ERR_BADID;
    if (index < 1 || static_cast<size_t>(index) > strings->size()) return KL_ERR_BADINDEX;
    const std::string& s = (*strings)[static_cast<size_t>(index) - 1];
    if (s.size() + 1 > bufferSize) return KL_ERR_BADPARS;  // no silent truncation
    std::memcpy(buffer, s.c_str(), s.size() + 1);
    return KL_NOERROR;
}

KlErr Workbench::undoableCommand(const char* stepName, KlCommandBody body, void* ctx) {
    KlErr err = project_->undoableCommand(stepName, body, ctx);
    feed_.bump();
    return err;
}

KlErr Workbench::setGeoLocation(const KlGeoLocation* location) {
    if (!location) return KL_ERR_BADPARS;
    if (faults_.refusesGeo(*location)) return KL_ERR_BADPARS;
    KlErr err = project_->setGeoLocation(*location);
    feed_.bump();
    return err;
}

KlErr Workbench::shellOpen(const char* verb, const char* address, int32_t showMode) {
    if (!address) return KL_ERR_BADPARS;
    ShellOpenRecord r{verb ? verb : "", address, showMode, false};
    const bool web = startsWith(r.address, "http://") || startsWith(r.address, "https://");
    if (web && options_.launchExternal) r.launched = openWithDesktop(r.address);
    shellOpens_.push_back(std::move(r));
    feed_.bump();
    return KL_NOERROR;
}

KlErr Workbench::hostOption(const char* name, char* buffer, size_t bufferSize) const {
    if (!name || !buffer || bufferSize == 0) return KL_ERR_BADPARS;
    auto it = options_.hostOptions.find(name);
    if (it == options_.hostOptions.end()) return KL_ERR_BADID;
    if (it->second.size() + 1 > bufferSize) return KL_ERR_BADPARS;
    std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
    return KL_NOERROR;
}

KlErr Workbench::alert(int32_t kind, const char* title, const char* text, const char* const (&buttons)[3],
                       int32_t* pressed) {
    if (!pressed || !text) return KL_ERR_BADPARS;
    AlertRecord a;
    a.kind = kind;
    a.title = title ? title : "";
    a.text = text;
    for (const char* b : buttons) a.buttons.emplace_back(b ? b : "");
    const size_t id = alerts_.open(std::move(a));
    feed_.bump();
    if (options_.userAnswersAlerts)
        while (!alerts_.answered(id) && !alertsAbandoned_ && !executor_.isShutDown())
            executor_.runFor(std::chrono::milliseconds(200));
    *pressed = alerts_.close(id);
    feed_.bump();
    return KL_NOERROR;
}

bool Workbench::answerAlert(int32_t button) {
    const bool ok = alerts_.answer(button);
    feed_.bump();
    executor_.wake();
    return ok;
}

void Workbench::abandonAlerts() {
    alertsAbandoned_ = true;
    executor_.wake();
}

KlErr Workbench::menuCommand(int32_t menuResId, int32_t item) {
    const Menu* m = menus_.find(menuResId);
    if (!m) return KL_ERR_BADID;
    if (item < 1 || static_cast<size_t>(item) > m->items.size()) return KL_ERR_BADINDEX;
    if (!m->handler) return KL_ERR_NOTSUPPORTED;
    if (m->items[static_cast<size_t>(item) - 1].flags & KL_MENUFLAG_DISABLED) return KL_ERR_REFUSED;
    KlMenuHandler handler = m->handler;
    KlErr err = KL_ERR_GENERAL;
    try {
        err = handler(menuResId, item);
    } catch (...) {
        writeReport("workbench: the menu handler threw", 0);
    }
    feed_.bump();
    return err;
}

bool Workbench::undo() {
    const bool ok = project_->undo();
    if (ok) sendProjectEvent(KL_EVENT_UNDO);
    feed_.bump();
    return ok;
}

void Workbench::openAnotherProject() {
    project_ = std::make_unique<Project>();
    feed_.bump();
}

bool Workbench::redo() {
    const bool ok = project_->redo();
    if (ok) sendProjectEvent(KL_EVENT_REDO);
    feed_.bump();
    return ok;
}

}  // namespace kl::host
