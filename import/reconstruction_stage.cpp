#include "import/reconstruction_stage.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <thread>

#include "buildings/lod2fit/roof_reconstruction.h"
#include "geodata/polygon.h"
#include "net/sheet_index_text.h"
#include "terrain/metres_text.h"

namespace kl::import {
namespace {

using buildings::Lod1Building;
using buildings::lod2fit::RoofFitInput;
using buildings::lod2fit::RoofFitResult;

constexpr std::uint8_t kGround = 2;
constexpr std::uint8_t kBuilding = 6;
constexpr double kCellMetres = 10.0;
// Ground is looked for this far around the footprint, then further.
constexpr double kGroundMargins[] = {5.0, 15.0};
constexpr size_t kBatchPerThread = 8;

// The points bucketed in square cells, so that each footprint visits only
// the points of the cells under it.
class PointGrid {
public:
    explicit PointGrid(const std::vector<FrameCloudPoint>& points) : points_(points) {
        if (points.empty()) return;
        minX_ = maxX_ = points[0].x;
        minY_ = maxY_ = points[0].y;
        for (const FrameCloudPoint& p : points) {
            minX_ = std::min(minX_, p.x);
            maxX_ = std::max(maxX_, p.x);
            minY_ = std::min(minY_, p.y);
            maxY_ = std::max(maxY_, p.y);
        }
        cols_ = static_cast<size_t>((maxX_ - minX_) / kCellMetres) + 1;
        rows_ = static_cast<size_t>((maxY_ - minY_) / kCellMetres) + 1;
        start_.assign(cols_ * rows_ + 1, 0);
        for (const FrameCloudPoint& p : points) ++start_[cellOf(p.x, p.y) + 1];
        for (size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        order_.resize(points.size());
        std::vector<size_t> next(start_.begin(), start_.end() - 1);
        for (size_t i = 0; i < points.size(); ++i) order_[next[cellOf(points[i].x, points[i].y)]++] = i;
    }

    // Every point in the cells that meet the box.
    template <class Visit>
    void visit(const geo::Bbox& box, Visit&& fn) const {
        if (order_.empty() || box.maxX < minX_ || box.minX > maxX_ || box.maxY < minY_ || box.minY > maxY_) return;
        const size_t c0 = column(box.minX), c1 = column(box.maxX), r0 = row(box.minY), r1 = row(box.maxY);
        for (size_t r = r0; r <= r1; ++r)
            for (size_t c = c0; c <= c1; ++c)
                for (size_t k = start_[r * cols_ + c]; k < start_[r * cols_ + c + 1]; ++k) fn(points_[order_[k]]);
    }

private:
    size_t column(double x) const {
        return std::min(cols_ - 1, static_cast<size_t>(std::max(0.0, (x - minX_) / kCellMetres)));
    }
    size_t row(double y) const { return std::min(rows_ - 1, static_cast<size_t>(std::max(0.0, (y - minY_) / kCellMetres))); }
    size_t cellOf(double x, double y) const { return row(y) * cols_ + column(x); }

    const std::vector<FrameCloudPoint>& points_;
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    size_t cols_ = 0, rows_ = 0;
    std::vector<size_t> start_;
    std::vector<size_t> order_;
};

geo::Bbox boxOf(const geo::Ring& ring, double margin) {
    const geo::Bbox b = geo::ringBounds(ring);
    return {b.minX - margin, b.minY - margin, b.maxX + margin, b.maxY + margin};
}

struct Fitted {
    RoofFitResult fit;
    bool groundFromModel = false;  // the cloud had no ground near the walls
};

// The ground the walls stand on: a low percentile of the ground echoes
// around the footprint, robust to a stray low point; the LOD1 model's base
// when the cloud has none near.
std::pair<double, bool> groundAt(const PointGrid& grid, const Lod1Building& b) {
    for (double margin : kGroundMargins) {
        std::vector<double> heights;
        const geo::Bbox box = boxOf(b.footprint, margin);
        grid.visit(box, [&](const FrameCloudPoint& p) {
            if (p.cls == kGround && p.x >= box.minX && p.x <= box.maxX && p.y >= box.minY && p.y <= box.maxY &&
                std::isfinite(p.z))
                heights.push_back(p.z);
        });
        if (heights.size() >= 3) {
            const size_t k = heights.size() / 10;
            std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(k), heights.end());
            return {heights[k], false};
        }
    }
    return {b.baseZ, true};
}

Fitted fitOne(const PointGrid& grid, const Lod1Building& b) {
    Fitted out;
    RoofFitInput in;
    in.footprint = b.footprint;
    if (b.footprint.size() >= 3) {
        const auto [ground, fromModel] = groundAt(grid, b);
        in.groundZ = ground;
        out.groundFromModel = fromModel;
        grid.visit(boxOf(b.footprint, 0.0), [&](const FrameCloudPoint& p) {
            if (p.cls == kBuilding && geo::ringContains(b.footprint, {p.x, p.y})) in.points.push_back({p.x, p.y, p.z});
        });
    }
    out.fit = buildings::lod2fit::reconstructRoof(in);
    return out;
}

std::string summary(const std::vector<Lod1Building>& footprints, const std::vector<Fitted>& fitted,
                    buildings::lod2fit::Lod2Reconstruction& result) {
    int degenerate = 0, flagged = 0, noGround = 0, noRoof = 0;
    double errorSum = 0;
    std::map<std::string, int> kinds;
    for (size_t i = 0; i < fitted.size(); ++i) {
        const Fitted& f = fitted[i];
        if (f.fit.mesh.faces.empty()) {
            ++degenerate;
            continue;
        }
        flagged += f.fit.needsReview;
        noGround += f.groundFromModel;
        ++kinds[f.fit.primitive];
        // Without a single roof point the error says nothing about a fit.
        if (f.fit.meanError >= buildings::lod2fit::kNoFitError)
            ++noRoof;
        else
            errorSum += f.fit.meanError;
        result.ids.push_back(footprints[i].id);
        result.buildings.push_back(f.fit);
    }
    const int built = static_cast<int>(result.buildings.size());
    std::string text = "Rekonstrukcja LOD2: odtworzono " + std::to_string(built) + " z " +
                       std::to_string(footprints.size()) + " budynkow (do korekty: " + std::to_string(flagged) + ").";
    if (degenerate > 0)
        text += " Pominieto " + std::to_string(degenerate) +
                " obrysow zdegenerowanych (mniej niz 3 punkty, zerowe pole lub wspolrzedne nieliczbowe).";
    if (noRoof > 0)
        text += " " + std::to_string(noRoof) +
                " budynkow bez punktow dachu w chmurze - wstawiono bryly zastepcze (grunt + 3 m) do korekty.";
    if (noGround > 0)
        text += " " + std::to_string(noGround) +
                " budynkow bez punktow gruntu w chmurze - sciany od poziomu z modelu LOD1.";
    result.diagnostic = "budynkirekon: obrysow=" + std::to_string(footprints.size()) + " odtworzono=" +
                        std::to_string(built) + " do_korekty=" + std::to_string(flagged) +
                        " zdegenerowane=" + std::to_string(degenerate) + " bez_gruntu=" + std::to_string(noGround) +
                        " bez_punktow_dachu=" + std::to_string(noRoof) + " sredni_blad_m=" +
                        terrain::formatMetres(built > noRoof ? errorSum / (built - noRoof) : 0.0) + " typy:";
    for (const auto& [name, n] : kinds) result.diagnostic += " " + name + "=" + std::to_string(n);
    return text;
}

}  // namespace

bool reconstructionClass(std::uint8_t cls) { return cls == kGround || cls == kBuilding; }

ReconstructionRun reconstructFootprints(const std::vector<Lod1Building>& footprints,
                                        const std::vector<FrameCloudPoint>& points, unsigned threads,
                                        const StageIo& io) {
    ReconstructionRun run;
    const PointGrid grid(points);
    std::vector<Fitted> fitted(footprints.size());
    threads = std::max(1u, threads);
    const size_t batch = kBatchPerThread * threads;
    const int total = static_cast<int>(footprints.size());
    for (size_t first = 0; first < footprints.size(); first += batch) {
        io.progress(kReconstructionFitLabel, static_cast<int>(first), total);
        if (io.cancelled()) {
            run.cancelled = true;
            return run;
        }
        const size_t last = std::min(footprints.size(), first + batch);
        // Each worker takes every threads-th building of the batch; the results
        // land in their footprint's slot, so the order never depends on timing.
        std::vector<std::exception_ptr> failures(threads);
        const auto work = [&](unsigned t) {
            try {
                for (size_t i = first + t; i < last; i += threads) fitted[i] = fitOne(grid, footprints[i]);
            } catch (...) {
                failures[t] = std::current_exception();
            }
        };
        std::vector<std::thread> workers;
        for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work, t);
        work(0);
        for (std::thread& w : workers) w.join();
        for (const std::exception_ptr& f : failures)
            if (f) std::rethrow_exception(f);
    }
    io.progress(kReconstructionFitLabel, total, total);
    io.warn(summary(footprints, fitted, run.result));
    return run;
}

ReconstructionRun reconstructBuildings(net::WfsClient& client, const geo::Bbox& frame, int workingZone,
                                       const std::vector<Lod1Building>& footprints, const StageIo& io) {
    ReconstructionRun run;
    if (footprints.empty()) {
        io.warn("Rekonstrukcja LOD2: brak obrysow budynkow (Building3D) dla tego kadru.");
        return run;
    }
    const FrameCloud cloud = loadFrameCloud(client, frame, 0.0, workingZone, net::currentUtcYear(), kReconstructionTilesLabel,
                                            "Rekonstrukcja LOD2: ", io, reconstructionClass);
    if (cloud.cancelled) {
        run.cancelled = true;
        return run;
    }
    if (cloud.points.empty()) {
        // Tiles that all failed are not an empty cloud: each was named above.
        io.warn(cloud.tilesAsked > 0 && cloud.tilesRead == 0
                    ? "Rekonstrukcja LOD2: nie wczytano zadnego kafla LiDAR - budynkow nie odtworzono."
                    : "Rekonstrukcja LOD2: chmura pusta w kadrze.");
        return run;
    }
    if (cloud.tilesRead < cloud.tilesAsked)
        io.warn("Rekonstrukcja LOD2: wczytano " + std::to_string(cloud.tilesRead) + " z " +
                std::to_string(cloud.tilesAsked) +
                " kafli LiDAR - budynki poza nimi dostaja zastepcze bryly oznaczone do korekty.");
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    run = reconstructFootprints(footprints, cloud.points, threads, io);
    run.result.diagnostic += " kafle=" + std::to_string(cloud.tilesRead) + "/" + std::to_string(cloud.tilesAsked) +
                             " punkty=" + std::to_string(cloud.points.size());
    return run;
}

}  // namespace kl::import
