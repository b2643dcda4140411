#include "shell/settings/z_anchor.h"

#include <cmath>
#include <string_view>

#include "base/number_text.h"

namespace kl::settings {
namespace {

bool sameSite(const AnchorSite& a, const AnchorSite& b) {
    return a.epsg == b.epsg && std::fabs(a.easting - b.easting) <= kAnchorSiteToleranceMetres &&
           std::fabs(a.northing - b.northing) <= kAnchorSiteToleranceMetres;
}

}  // namespace

void setZAnchor(Settings& settings, double height, const AnchorSite& site) {
    settings.zAnchor = height;
    settings.hasZAnchor = true;
    settings.zAnchorSite = site;
}

AnchorDecision anchorFor(const Settings& settings, const AnchorSite& site) {
    if (!settings.hasZAnchor || settings.zAnchor == 0.0) return {};
    if (settings.zAnchorSite && sameSite(*settings.zAnchorSite, site)) return {true, settings.zAnchor, {}};
    return {false, 0.0,
            "Rzedna odniesienia z ustawien (" + wholeNumberText(settings.zAnchor) +
                " m npm) dotyczy innego Survey Pointu - nie zastosowano jej."};
}

}  // namespace kl::settings
