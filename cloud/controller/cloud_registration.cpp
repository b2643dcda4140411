#include "cloud/controller/cloud_controller.h"
#include "base/controller_registry.h"

namespace {
const kl::shell::ControllerRegistration kCloudHandlers(kl::shell::PaletteKind::Cloud, [](kl::Bridge& bridge) {
    kl::cloud::CloudController::instance().registerHandlers(bridge);
});
}  // namespace
