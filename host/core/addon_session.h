#pragma once
// The life of the add-on inside the workbench: load, environment check,
// interface registration and initialisation at start; quit event, freeing
// and unloading at exit.
#include <memory>
#include <string>

#include "host/core/addon_module.h"
#include "host/core/workbench.h"

namespace kl::host {

class AddonSession {
public:
    explicit AddonSession(Workbench& workbench) : wb_(workbench) {}
    ~AddonSession() { stop(); }
    AddonSession(const AddonSession&) = delete;
    AddonSession& operator=(const AddonSession&) = delete;

    // Main thread. False with workbench.addon().error set when the add-on
    // could not be started; the workbench then runs without it.
    bool start(const std::string& path);
    // Main thread; once. Also ends the main-thread executor.
    void stop();

    AddonModule* module() const { return module_.get(); }
    bool stopped() const { return stopped_; }

private:
    void fail(const std::string& message);
    Workbench& wb_;
    std::unique_ptr<AddonModule> module_;
    bool initialised_ = false;
    bool stopped_ = false;
};

}  // namespace kl::host
