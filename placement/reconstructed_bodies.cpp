#include "placement/reconstructed_bodies.h"

#include <map>

namespace kl::placement {
namespace {

using geo::DataType;

constexpr ReconstructedStep kSteps[] = {
    {"dachychmura", "GIS_BUDYNKI_LOD2_CHMURA", DataType::Buildings3dLod2, "GIS Dach z chmury", {0.6, 0.55, 0.5},
     "KARTOLINK dachy z chmury: utworzono ", " (oznaczono do korekty: ", "ordvik_roofgen_diag.txt", "budynkow(fetch)=",
     true},
    {"budynkindsm", "", DataType::BuildingsFromSurfaceModel, "GIS Budynek nMPT", {0.6, 0.55, 0.5},
     "KARTOLINK budynki nMPT: utworzono ", " (oznaczono do korekty: ", "ordvik_ndsm_diag.txt", "budynkow(fetch)=", true},
    {"budynkirekon", "", DataType::BuildingsReconstructed, "GIS Budynek LOD2 rekon", {0.62, 0.6, 0.55},
     "KARTOLINK rekonstrukcja LOD2: utworzono ", " (do korekty: ", "ordvik_rekon_diag.txt", "", false},
    {"mosty", "", DataType::Bridges, "GIS Most nMPT", {0.55, 0.55, 0.58}, "KARTOLINK mosty: utworzono ",
     " (oznaczono do korekty: ", "ordvik_ndsm_diag.txt", "mosty(fetch)=", false},
    {"drogi", "", DataType::Roads, "GIS Droga", {0.3, 0.3, 0.32}, "KARTOLINK drogi: utworzono ",
     " (oznaczono do korekty: ", "ordvik_ndsm_diag.txt", "drogi(fetch)=", false},
};

Ring3 toProjectRing(const Ring3& ring, const std::function<geo::Point2d(geo::Point2d)>& toProject, double zOff) {
    Ring3 out;
    out.reserve(ring.size());
    for (const auto& p : ring) {
        const geo::Point2d q = toProject({p.x, p.y});
        out.push_back({q.x, q.y, p.z - zOff});
    }
    return out;
}

}  // namespace

const ReconstructedStep& reconstructedStep(ReconstructedKind kind) { return kSteps[static_cast<size_t>(kind)]; }

void placeReconstructedBodies(ReconstructedKind kind, const std::vector<ReconstructedItem>& items, size_t lod1Blocks,
                              const std::function<geo::Point2d(geo::Point2d)>& toProject, double zOff,
                              const std::string& fetchDiagnostic, LayerResolver& layers, PlaceResult& result,
                              BodyReport& report) {
    const ReconstructedStep& step = reconstructedStep(kind);
    if (items.empty()) return;
    const std::string prefix(step.reportPrefix);
    if (step.onePerLod1Block && items.size() != lod1Blocks) {
        const std::string line = prefix.substr(0, prefix.find(": ")) + ": nie postawiono " +
                                 std::to_string(items.size()) + " bryl - ich liczba rozni sie od liczby budynkow LOD1 (" +
                                 std::to_string(lod1Blocks) + "), wiec nie wiadomo, ktora bryla nalezy do ktorego budynku.";
        report.lines.push_back(line);
        report.warnings.push_back(line);
        return;
    }
    const int32_t layer = step.fixedLayer.empty() ? layers.layerForType(step.type) : findOrCreateLayer(step.fixedLayer);
    int32_t materials[2] = {-1, -1};  // plain, flagged: looked up when first needed
    int created = 0, flagged = 0, failed = 0;
    std::map<KlErr, int> errors;
    for (const auto& item : items) {
        if (item.faces.empty()) {
            ++failed;
            continue;
        }
        std::vector<BodyFace> faces;
        for (const auto& f : item.faces) {
            BodyFace face{toProjectRing(f.outline, toProject, zOff), {}};
            for (const auto& h : f.holes) face.holes.push_back(toProjectRing(h, toProject, zOff));
            faces.push_back(std::move(face));
        }
        int32_t& material = materials[item.flaggedForReview ? 1 : 0];
        if (material < 0) material = surfaceFor(step.surface, step.colour, item.flaggedForReview);
        const KlErr err = makeMorphWithFallback(faces, material, layer);
        if (err != KL_NOERROR) {
            ++failed;
            ++errors[err];
            continue;
        }
        ++created;
        if (item.flaggedForReview) ++flagged;
    }
    result.counts[std::string(step.countKey)] = created;
    result.skipped += failed;
    const std::string line = prefix + std::to_string(created) + std::string(step.flaggedText) + std::to_string(flagged) +
                             ")" + ", pominieto " + std::to_string(failed) + morphErrorTally(errors);
    report.lines.push_back(line);
    std::string text;
    if (!step.firstItemText.empty()) text = std::string(step.firstItemText) + std::to_string(items.size()) + ", ";
    text += fetchDiagnostic + "\n" + line + "\n";
    // Steps that share a file (buildings, bridges, roads) write it together:
    // each rewriting it would leave only the last step's lines.
    for (auto& d : report.diagnostics)
        if (d.name == step.diagnosticFile && !d.append) {
            d.text += text;
            return;
        }
    report.diagnostics.push_back({std::string(step.diagnosticFile), std::move(text), false});
}

}  // namespace kl::placement
