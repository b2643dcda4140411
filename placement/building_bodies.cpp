#include "placement/building_bodies.h"

#include <map>

#include "net/url_text.h"
#include "placement/morph_builder.h"
#include "placement/slab_maker.h"

namespace kl::placement {
namespace {

using net::formatNumber;

constexpr size_t kLod1DiagnosedBlocks = 6;
constexpr int32_t kLod2Material = 1;

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

Ring3 toProject(const std::vector<buildings::Point3d>& ring, const PlacementTransform& t, double zOff) {
    Ring3 out;
    out.reserve(ring.size());
    for (const auto& p : ring) {
        const geo::Point2d q = t.apply({p.x, p.y});
        out.push_back({q.x, q.y, p.z - zOff});
    }
    return out;
}

std::string lod2Diagnostic(size_t fetched, const std::string& line, const TriangulationStats& s) {
    std::string text = "pobrano(fetch)=" + std::to_string(fetched) + "\n" + line + "\n";
    text += "-- TRIANGULACJA (screen 31 fan) --\n";
    text += "scian=" + std::to_string(s.faces) + " plaska-wypukla(polygon)=" + std::to_string(s.planarConvex) +
            " plaska-wklesla(earClip)=" + std::to_string(s.planarConcave) +
            " nieplaska(earClip)=" + std::to_string(s.nonPlanar) + "\n";
    text += "earClip OK=" + std::to_string(s.earClipOk) + " earClip PUSTO->FALLBACK-FAN=" +
            std::to_string(s.fanFallbacks) + " (worst n=" + std::to_string(s.fanFallbackWorstN) + ")\n";
    text += "quasi-fan(earOk maxDeg>=60%)=" + std::to_string(s.quasiFans) +
            " (worst n=" + std::to_string(s.quasiFanWorstN) + ")\n";
    text += "quasi-fan PO flipie (n>=7)=" + std::to_string(s.quasiFansAfterFlips) + " [cel: ~0]\n";
    return text;
}

}  // namespace

std::string morphErrorTally(const std::map<KlErr, int>& errors) {
    std::string text;
    for (const auto& [code, count] : errors)
        text += "; blad Morph kod " + std::to_string(code) + " x" + std::to_string(count);
    return text;
}

std::set<std::string> lod2BuildingIds(const std::vector<buildings::Lod2Building>& buildings) {
    std::set<std::string> ids;
    for (const auto& b : buildings) {
        if (b.id.empty()) continue;
        for (const auto& f : b.faces)
            if (f.exterior.size() >= 3) {
                ids.insert(upperAscii(b.id));
                break;
            }
    }
    return ids;
}

void placeLod1Blocks(const std::vector<buildings::Lod1Building>& blocks, const std::set<std::string>& lod2Ids,
                     const PlacementTransform& t, double zOff, int32_t layer, PlaceResult& result, BodyReport& report) {
    std::string diag = "LOD1: zOff=" + formatNumber(zOff) + " (buildingZOffset) budynkow=" +
                       std::to_string(blocks.size()) + "\n";
    for (size_t i = 0; i < blocks.size() && i < kLod1DiagnosedBlocks; ++i)
        diag += "  LOD1 #" + std::to_string(i) + " groundZ_npm=" + formatNumber(blocks[i].baseZ) +
                " height=" + formatNumber(blocks[i].height) + " bazaLokalna=" + formatNumber(blocks[i].baseZ - zOff) +
                "\n";
    report.diagnostics.push_back({"ordvik_z_diag.txt", std::move(diag), true});

    SlabMaker slabs;
    int placed = 0, failed = 0, duplicates = 0;
    for (const auto& b : blocks) {
        if (!lod2Ids.empty() && !b.id.empty() && lod2Ids.count(upperAscii(b.id))) {
            ++duplicates;
            continue;
        }
        Points footprint;
        footprint.reserve(b.footprint.size());
        for (const auto& p : b.footprint) {
            footprint.push_back(t.apply(p));
            result.widen(footprint.back().x, footprint.back().y);
        }
        if (footprint.size() < 3 || !(b.height > 0) ||
            slabs.make(footprint, b.baseZ - zOff, b.height, layer, b.id) != KL_NOERROR) {
            ++failed;
            continue;
        }
        ++placed;
    }
    result.counts["budynki3d"] = placed;
    result.skipped += failed;
    if (duplicates > 0)
        report.lines.push_back("KARTOLINK LOD1: pominieto " + std::to_string(duplicates) +
                               " bryl dublujacych sie z dachami LOD2 (zostawiono LOD2); postawiono LOD1 tylko tam, "
                               "gdzie brak LOD2.");
}

TriangulationStats placeLod2Buildings(const std::vector<buildings::Lod2Building>& buildings,
                                      const PlacementTransform& t, double zOff, int32_t layer, PlaceResult& result,
                                      BodyReport& report) {
    TriangulationStats stats;
    int byMode[3] = {0, 0, 0};
    int failed = 0, degenerate = 0;
    std::map<KlErr, int> errors;
    for (const auto& b : buildings) {
        std::vector<BodyFace> faces;
        for (const auto& f : b.faces) {
            if (f.exterior.size() < 3) continue;
            BodyFace face{toProject(f.exterior, t, zOff), {}};
            for (const auto& h : f.holes) face.holes.push_back(toProject(h, t, zOff));
            for (const auto& p : face.outline) result.widen(p.x, p.y);
            faces.push_back(std::move(face));
        }
        if (faces.empty()) {
            ++failed;
            ++degenerate;
            continue;
        }
        int mode = 0;
        const KlErr err = makeMorphWithFallback(faces, kLod2Material, layer, &stats, b.id, &mode);
        if (err != KL_NOERROR) {
            ++failed;
            ++errors[err];
            continue;
        }
        ++byMode[mode];
    }
    const int created = byMode[0] + byMode[1] + byMode[2];
    result.counts["budynkilod2"] = created;
    result.skipped += failed;
    const std::string line = "KARTOLINK LOD2: utworzono " + std::to_string(created) + " (czyste: " +
                             std::to_string(byMode[0]) + ", triangulacja: " + std::to_string(byMode[1]) +
                             ", zupa: " + std::to_string(byMode[2]) + "), pominieto " + std::to_string(failed) +
                             " (zdegenerowane: " + std::to_string(degenerate) + ")" + morphErrorTally(errors);
    report.lines.push_back(line);
    report.diagnostics.push_back({"ordvik_lod2_diag.txt", lod2Diagnostic(buildings.size(), line, stats), false});
    return stats;
}

}  // namespace kl::placement
