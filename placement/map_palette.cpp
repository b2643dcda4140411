// The add-on's map palette: the import controller with this module's place
// step. It is wired here, above import, because "place" needs the placing
// code and import may not depend on it.
#include "base/controller_registry.h"
#include "base/host_access.h"
#include "import/import_controller.h"
#include "placement/fetch_placing.h"

namespace kl::placement {
namespace {

using nlohmann::json;

import::ImportController& mapController() {
    static import::ImportController controller(settings::settingsFilePath(), [] { return kl::host(); },
                                               settings::configuredServiceHosts(), placeFetched);
    return controller;
}

const shell::ControllerRegistration mapHandlers(shell::PaletteKind::Map,
                                                [](Bridge& bridge) { mapController().registerHandlers(bridge); });

// The cloud page opens on the same start view (services, project position).
const shell::ControllerRegistration cloudStartView(shell::PaletteKind::Cloud, [](Bridge& bridge) {
    bridge.on("getInit", [](const json& msg) { return mapController().onGetInit(msg); });
});

}  // namespace
}  // namespace kl::placement
