#include "import/general_plan_stage.h"

#include "import/fetched_data.h"
#include "net/wfs_layer_fetch.h"

namespace kl::import {

GeneralPlanZones fetchGeneralPlanZones(net::WfsClient& client, const std::string& teryt, const geo::Bbox& frame,
                                       const net::RegisterWait& wait) {
    GeneralPlanZones out;
    const net::ActsPage acts = net::queryGeneralPlans(client, teryt, wait);
    if (acts.refusedEntries > 0)
        appendWarning(out.warning, "Rejestr Urbanistyczny: pominieto " + std::to_string(acts.refusedEntries) +
                                       " wpisow listy aktow, ktore nie sa opisem aktu.");
    const std::optional<net::PublishedAct> act = net::selectAct(acts.acts, net::kGeneralPlanType);
    if (!act) {
        // A register that did not answer is not a commune without a plan.
        appendWarning(out.warning, acts.error.empty()
                                       ? "Brak POG dla gminy " + teryt +
                                             " (Plan Ogolny jeszcze nieuchwalony w Rejestrze Urbanistycznym)."
                                       : "POG gminy " + teryt + ": Rejestr Urbanistyczny nie odpowiada (" +
                                             acts.error + ") - strefy pominiete.");
        return out;
    }
    net::ActFeatures got = net::downloadActFeatures(client, act->id, geo::DataType::GeneralPlans, wait);
    if (!got.error.empty()) {
        appendWarning(out.warning, "POG gminy " + teryt + ": nie udalo sie pobrac stref aktu '" + act->id + "' (" +
                                       got.error + ") - strefy pominiete.");
        return out;
    }
    for (const std::string& w : got.warnings) appendWarning(out.warning, "POG gminy " + teryt + ": " + w);
    for (geo::GisFeature& zone : got.features)
        if (net::featureTouchesFrame(zone, frame)) out.zones.push_back(std::move(zone));
    if (out.zones.empty())
        appendWarning(out.warning, "POG gminy " + teryt + ": akt jest, ale zadna strefa nie wpada w kadr.");
    return out;
}

}  // namespace kl::import
