#pragma once
// One add-on shared library: its four entry points and its resource table.
#include <memory>
#include <string>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

class AddonModule {
public:
    // nullptr and a message when the library or one of its symbols is missing.
    static std::unique_ptr<AddonModule> open(const std::string& path, std::string& error);
    ~AddonModule();
    AddonModule(const AddonModule&) = delete;
    AddonModule& operator=(const AddonModule&) = delete;

    // Unloads now, unless keepLoaded() was asked for.
    void close();
    void keepLoaded() { keep_ = true; }
    bool isOpen() const { return handle_ != nullptr; }
    void* symbol(const char* name) const;

    KlCheckEnvironmentFn checkEnvironment = nullptr;
    KlRegisterInterfaceFn registerInterface = nullptr;
    KlInitializeFn initialize = nullptr;
    KlFreeDataFn freeData = nullptr;
    const KlResource* resources = nullptr;

private:
    AddonModule() = default;
    void* handle_ = nullptr;
    bool keep_ = false;
};

}  // namespace kl::host
