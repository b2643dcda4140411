#pragma once
// The acts the local planning register publishes for the demo communes, and
// the zones of those that carry spatial data: real general-plan samples moved
// onto the demo site.
#include "tools/geoportal/demo_area.h"

#include <optional>
#include <string>
#include <vector>

namespace kl::geoportal {

namespace demo {
// The town commune's general plan in force; its zones come from the larger
// real sample, placed so that seven of them reach into the frame.
inline constexpr long long kGeneralPlanInForceId = 5001;
// A newer general plan still in preparation and a newest one no longer in
// force (whose status holds the letters "wi"), and a dozen local plans newer
// than all of them.
inline constexpr long long kGeneralPlanInPreparationId = 5002;
inline constexpr long long kGeneralPlanExpiredId = 5003;
inline constexpr int kLocalPlanActs = 12;
}  // namespace demo

struct PlanAct {
    long long id = 0;
    std::string tercCode;
    std::string title;
    std::string planType;
    std::string planTypeDescription;
    std::string status;
    std::string publishDate;
    std::string validFrom;
    std::string validTo;  // empty: still valid (null in the answer)
    std::string commune;
    std::string district;
    std::string zonesSample;            // file under the samples' gml/, empty: no spatial data
    std::optional<Xy> sampleAnchor;     // sample point put on the frame's centre; none: its box centre
};

const std::vector<PlanAct>& planActs();
const PlanAct* findPlanAct(long long id);

// The act's zones as the register hands them out (GML 3.2 in PL-2000 zone 5),
// moved onto the demo site; empty when the act has none or the sample is missing.
std::string actZonesGml(const PlanAct& act, const std::string& samplesDir);

}  // namespace kl::geoportal
