#include "host/core/addon_session.h"

#include <cstring>

namespace kl::host {

void AddonSession::fail(const std::string& message) {
    wb_.addon().error = message;
    wb_.writeReport(("workbench: " + message).c_str(), 0);
}

bool AddonSession::start(const std::string& path) {
    AddonInfo& info = wb_.addon();
    info.path = path;
    std::string error;
    module_ = AddonModule::open(path, error);
    if (!module_) {
        fail(error);
        return false;
    }
    wb_.setResources(ResourceTable(module_->resources));

    KlEnvironment env{};
    env.hostApiVersion = KL_HOST_API_VERSION;
    int32_t type = 0;
    try {
        type = module_->checkEnvironment(&Workbench::hostTable(), &env);
    } catch (...) {
        type = 0;
    }
    env.name[sizeof env.name - 1] = '\0';
    env.description[sizeof env.description - 1] = '\0';
    info.name = env.name;
    info.description = env.description;
    info.addonType = type;
    info.entryCalls.push_back(std::string(KL_ENTRY_CHECK_ENVIRONMENT) + "=" + std::to_string(type));
    if (type <= 0) {
        fail("the add-on refused the environment (" + std::to_string(type) + ")");
        module_.reset();
        wb_.setResources({});
        return false;
    }

    auto callEntry = [&](const char* name, auto fn) {
        KlErr err = KL_ERR_GENERAL;
        try {
            err = fn();
        } catch (...) {
        }
        info.entryCalls.push_back(std::string(name) + "=" + std::to_string(err));
        return err;
    };
    KlErr err = callEntry(KL_ENTRY_REGISTER_INTERFACE, module_->registerInterface);
    if (err == KL_NOERROR) err = callEntry(KL_ENTRY_INITIALIZE, module_->initialize);
    if (err != KL_NOERROR) {
        fail("the add-on failed to start (" + std::to_string(err) + ")");
        callEntry(KL_ENTRY_FREE_DATA, module_->freeData);
        module_.reset();
        wb_.setResources({});
        return false;
    }
    initialised_ = true;
    info.loaded = true;
    return true;
}

void AddonSession::stop() {
    if (stopped_) return;
    stopped_ = true;
    wb_.sendProjectEvent(KL_EVENT_QUIT);
    wb_.executor().runPending();  // what the quit handlers posted
    wb_.executor().shutdown();
    if (module_ && initialised_) {
        AddonInfo& info = wb_.addon();
        KlErr err = KL_ERR_GENERAL;
        try {
            err = module_->freeData();
        } catch (...) {
        }
        info.entryCalls.push_back(std::string(KL_ENTRY_FREE_DATA) + "=" + std::to_string(err));
        if (wb_.keepsInMemory()) module_->keepLoaded();
        module_->close();
        info.loaded = module_->isOpen();
        if (!info.loaded) wb_.setResources({});
    }
}

}  // namespace kl::host
