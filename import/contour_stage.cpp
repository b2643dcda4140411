#include "import/contour_stage.h"

#include <algorithm>
#include <cmath>

#include "terrain/metres_text.h"

namespace kl::import {
namespace {

constexpr double kSpatialSigma = 1.5;  // metres
constexpr double kRangeSigma = 0.2;    // metres
// A level closer than a fifth of the sampling step to the next gives lines
// with visible corners.
constexpr double kCoarseStepRatio = 0.2;

bool anyValue(const terrain::HeightGrid& grid) {
    return std::any_of(grid.values.begin(), grid.values.end(), [](double v) { return !std::isnan(v); });
}

}  // namespace

ContourStageResult buildFrameContours(const ContourRequest& request, const terrain::HeightSampler& sampler,
                                      const terrain::ContourBuilder::CancelQuery& cancelled,
                                      const terrain::ContourBuilder::Progress& progress) {
    ContourStageResult out;
    const std::string interval = terrain::formatMetres(request.interval);
    if (!terrain::isAllowedInterval(request.interval)) {
        out.warnings.push_back("Poziomice: ciecie " + interval +
                               " m nie jest dozwolona wartoscia (dozwolone: 0,25 / 0,5 / 1,0 / 2,0 m) - poziomice pominiete.");
        return out;
    }
    const terrain::SampleStep step = terrain::sampleStepForFrame(request.frame, request.sampleStep);
    if (!step.message.empty()) out.warnings.push_back(step.message);
    terrain::HeightGrid grid = terrain::sampleGrid(request.frame, step.step, sampler);
    if (request.smooth) terrain::bilateralSmooth(grid, kSpatialSigma, kRangeSigma);

    terrain::ContourResult built = terrain::ContourBuilder::build(grid, request.interval, {}, cancelled, progress);
    out.contours = std::move(built.contours);
    out.cancelled = built.cancelled;
    if (!built.message.empty()) out.warnings.push_back(built.message);
    if (built.cancelled) return out;
    if (out.contours.empty())
        out.warnings.push_back(anyValue(grid) ? "Poziomice: brak deniwelacji wiekszej niz ciecie " + interval +
                                                    " m w tym kadrze - teren zbyt plaski dla wybranego ciecia."
                                              : "Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru).");
    if (step.step * kCoarseStepRatio > request.interval)
        out.warnings.push_back("Poziomice: ciecie " + interval + " m jest drobne wzgledem kroku probkowania " +
                               terrain::formatMetres(step.step) + " m - warstwice beda kanciaste. " +
                               (step.message.empty() ? "Zmniejsz krok terenu."
                                                     : "Krok zostal zgrubiony przez limit gestosci dla tego kadru - "
                                                       "zmniejsz kadr albo wybierz wieksze ciecie."));
    return out;
}

}  // namespace kl::import
