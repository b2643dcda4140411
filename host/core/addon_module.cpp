#include "host/core/addon_module.h"

#include <dlfcn.h>

#include "host/core/resources.h"

namespace kl::host {

std::unique_ptr<AddonModule> AddonModule::open(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why ? why : "unknown error");
        return nullptr;
    }
    std::unique_ptr<AddonModule> m(new AddonModule());
    m->handle_ = handle;
    auto entry = [&](const char* name) {
        void* p = dlsym(handle, name);
        if (!p && error.empty()) error = std::string("the add-on does not export ") + name;
        return p;
    };
    m->checkEnvironment = reinterpret_cast<KlCheckEnvironmentFn>(entry(KL_ENTRY_CHECK_ENVIRONMENT));
    m->registerInterface = reinterpret_cast<KlRegisterInterfaceFn>(entry(KL_ENTRY_REGISTER_INTERFACE));
    m->initialize = reinterpret_cast<KlInitializeFn>(entry(KL_ENTRY_INITIALIZE));
    m->freeData = reinterpret_cast<KlFreeDataFn>(entry(KL_ENTRY_FREE_DATA));
    m->resources = resourceTableFromSymbol(entry(KL_RESOURCE_TABLE_SYMBOL));
    if (!m->resources && error.empty()) error = "the add-on's resource table is not readable";
    if (!error.empty()) return nullptr;  // the destructor unloads it
    return m;
}

AddonModule::~AddonModule() { close(); }

void AddonModule::close() {
    if (handle_ && !keep_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* AddonModule::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

}  // namespace kl::host
