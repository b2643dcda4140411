#pragma once
// The height anchor belongs to the survey point it was measured for. A project
// somewhere else must not inherit it: its terrain may lie hundreds of metres
// higher or lower.
#include <string>

#include "shell/settings/settings.h"

namespace kl::settings {

// Survey points closer than this on both axes count as the same site.
inline constexpr double kAnchorSiteToleranceMetres = 0.5;

struct AnchorDecision {
    bool applies = false;
    double height = 0.0;
    // Polish note for the user when an anchor exists but is not used; empty otherwise.
    std::string message;
};

// Stores the anchor together with the site it was set for.
void setZAnchor(Settings& settings, double height, const AnchorSite& site);

// Whether the stored anchor may be used for a project whose survey point is site.
AnchorDecision anchorFor(const Settings& settings, const AnchorSite& site);

}  // namespace kl::settings
