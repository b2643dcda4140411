#pragma once
// The stand-in host: one project, the menus, palettes and browsers the add-on
// created, the report window and the project events. Everything here runs
// on the main thread except what is named thread-safe.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/core/alerts.h"
#include "host/core/browser_hub.h"
#include "host/core/change_feed.h"
#include "host/core/executor.h"
#include "host/core/faults.h"
#include "host/core/menus.h"
#include "host/core/palettes.h"
#include "host/core/project.h"
#include "host/core/resources.h"
#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct WorkbenchOptions {
    bool launchExternal = false;  // ShellOpen really opens http(s) addresses
    bool userAnswersAlerts = false;  // an alert without a scripted answer waits for the page
    std::map<std::string, std::string> hostOptions;
};

struct ReportLine {
    std::string text;
    bool dialog = false;
};

struct ShellOpenRecord {
    std::string verb;
    std::string address;
    int32_t showMode = 0;
    bool launched = false;
};

struct AddonInfo {
    bool loaded = false;
    std::string path;
    std::string name;
    std::string description;
    int32_t addonType = 0;
    std::vector<std::string> entryCalls;  // entry points in calling order, with results
    std::string error;
};

class Workbench {
public:
    explicit Workbench(WorkbenchOptions options = {});
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    // The workbench the host-function table talks to (the latest constructed).
    static Workbench* current();
    static const KlHostFunctions& hostTable();

    bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }
    void noteOffThreadCall(const char* function);  // thread-safe

    Project& project() { return *project_; }
    const Project& project() const { return *project_; }
    MenuRegistry& menus() { return menus_; }
    PaletteRegistry& palettes() { return palettes_; }
    BrowserHub& hub() { return hub_; }
    ChangeFeed& feed() { return feed_; }
    FaultPlan& faults() { return faults_; }
    MainThreadExecutor& executor() { return executor_; }
    AddonInfo& addon() { return addon_; }
    AlertDesk& alerts() { return alerts_; }
    const ResourceTable& resources() const { return resources_; }
    void setResources(ResourceTable t) { resources_ = t; }
    const WorkbenchOptions& options() const { return options_; }

    // ---- host operations
    KlErr registerMenu(int32_t stringListId, int32_t promptListId, int32_t position, int32_t flags);
    KlErr catchProjectEvent(int32_t mask, KlProjectEventHandler handler);
    KlErr keepInMemory(int32_t keep);
    bool keepsInMemory() const { return keepInMemory_; }
    KlErr writeReport(const char* message, int32_t withDialog);
    KlErr loadResource(uint32_t type, int32_t id, const unsigned char** data, size_t* size) const;
    KlErr indString(int32_t listId, int32_t index, char* buffer, size_t bufferSize) const;
    KlErr registerPalette(int32_t ref, KlPaletteControl control, int32_t flags, const KlGuid* guid);

    KlErr paletteCreate(int32_t dialogResId, const KlGuid* guid, KlPaletteRef* out);
    KlErr paletteDestroy(KlPaletteRef palette);
    KlErr paletteShow(KlPaletteRef palette, bool show);
    KlErr paletteIsVisible(KlPaletteRef palette, int32_t* visible) const;
    KlErr paletteEnable(KlPaletteRef palette, int32_t enable);
    KlErr paletteSetObserver(KlPaletteRef palette, const KlPaletteObserver* observer);
    KlErr paletteResizeItem(KlPaletteRef palette, int32_t item, int32_t dx, int32_t dy);

    KlErr browserCreate(KlPaletteRef palette, int32_t item, KlBrowserRef* out);
    KlErr browserDestroy(KlBrowserRef browser);
    KlErr browserLoadUrl(KlBrowserRef browser, const char* url);
    KlErr browserExecuteScript(KlBrowserRef browser, const char* script);
    KlErr browserRegisterObject(KlBrowserRef browser, const char* object, const char* function,
                                KlScriptFunction fn, void* ctx);
    KlErr browserSetEvents(KlBrowserRef browser, const KlBrowserEvents* events);

    KlErr undoableCommand(const char* stepName, KlCommandBody body, void* ctx);
    KlErr setGeoLocation(const KlGeoLocation* location);
    KlErr shellOpen(const char* verb, const char* address, int32_t showMode);
    KlErr hostOption(const char* name, char* buffer, size_t bufferSize) const;
    // Modal: while the user has not answered, the main thread goes on
    // running posted work (the page's requests among it).
    KlErr alert(int32_t kind, const char* title, const char* text, const char* const (&buttons)[3], int32_t* pressed);

    // ---- what the user, the pages or a test do
    KlErr menuCommand(int32_t menuResId, int32_t item);
    KlErr paletteMessage(int32_t referenceNumber, int32_t message, int32_t* visible);
    KlErr closeBox(int32_t paletteId);            // control message 1 of the palette's registration
    std::optional<int32_t> closeRequest(int32_t paletteId);  // the observer's close request
    KlErr resizePalette(int32_t paletteId, int32_t dx, int32_t dy);
    // Returns the number of catchers called; the quit event goes out once.
    int32_t sendProjectEvent(int32_t value);
    bool quitSent() const { return quitSent_; }
    bool undo();
    bool redo();
    // The user opens another project: new attribute tables, no elements, no
    // undo steps, no georeference; the host's function table stays the same.
    void openAnotherProject();
    void pageCall(int32_t browserId, const std::string& object, const std::string& function,
                  const std::optional<std::string>& arg);
    void pageLoading(int32_t browserId, bool loading);
    void pageLoadError(int32_t browserId, int32_t code, const std::string& url);
    void selectElements(std::vector<KlGuid> guids) {
        project_->setSelection(std::move(guids));
        feed_.bump();
    }
    bool answerAlert(int32_t button);
    // Thread-safe: closes open alerts unanswered, so a quitting host leaves its modal loop.
    void abandonAlerts();

    // ---- inspection
    nlohmann::json state() const;
    const std::vector<ReportLine>& report() const { return report_; }
    const std::vector<ShellOpenRecord>& shellOpens() const { return shellOpens_; }
    long offThreadCalls() const { return offThreadCalls_.load(); }

private:
    void paletteChanged() { feed_.bump(); }
    WorkbenchOptions options_;
    std::thread::id mainThread_;
    std::unique_ptr<Project> project_ = std::make_unique<Project>();
    MenuRegistry menus_;
    PaletteRegistry palettes_;
    BrowserHub hub_;
    ChangeFeed feed_;
    FaultPlan faults_;
    MainThreadExecutor executor_;
    ResourceTable resources_;
    AddonInfo addon_;
    AlertDesk alerts_;
    std::atomic<bool> alertsAbandoned_{false};

    struct Catcher {
        int32_t mask = 0;
        KlProjectEventHandler handler = nullptr;
    };
    std::vector<Catcher> catchers_;
    bool quitSent_ = false;
    bool keepInMemory_ = false;
    std::vector<ReportLine> report_;
    std::vector<ShellOpenRecord> shellOpens_;
    std::atomic<long> offThreadCalls_{0};
};

}  // namespace kl::host
