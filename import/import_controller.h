#pragma once
// The brain behind the map palette: answers the map page's messages, owns the
// user's settings and sets the project's georeference from the map.
// Main thread only.
#include <filesystem>
#include <functional>

#include <nlohmann/json.hpp>

#include "host/sdk/kl_host_api.h"
#include "shell/bridge.h"
#include "shell/settings/service_hosts.h"
#include "shell/settings/settings.h"

namespace kl::import {

class ImportController {
public:
    using HostSource = std::function<const KlHostFunctions*()>;

    // The process-wide controller, with the user's settings file and the add-on's host table.
    static ImportController& instance();

    ImportController(std::filesystem::path settingsFile, HostSource host, settings::ServiceHosts hosts);

    // Installs the handlers this controller answers so far on a map palette's bridge.
    void registerHandlers(Bridge& bridge);

    nlohmann::json onGetInit(const nlohmann::json& msg);
    nlohmann::json onGetLayers(const nlohmann::json& msg);
    nlohmann::json onSettingsChanged(const nlohmann::json& msg);
    nlohmann::json onSetOrigin(const nlohmann::json& msg);

    const settings::Settings& currentSettings() const { return settings_; }
    // Keeps the new state in memory even when the file cannot be written.
    settings::FileWriteResult saveSettings();

private:
    std::filesystem::path settingsFile_;
    HostSource host_;
    settings::ServiceHosts hosts_;
    settings::Settings settings_;
};

}  // namespace kl::import
