#include "import/cloud_ground_stage.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/number_text.h"
#include "import/frame_cloud.h"
#include "terrain/cloud_ground_grid.h"
#include "terrain/contour_builder.h"
#include "terrain/contour_grid.h"
#include "terrain/metres_text.h"
#include "terrain/terrain_tiles.h"

namespace kl::import {
namespace {

constexpr std::uint8_t kGroundClass = 2, kWaterClass = 9;
const std::string kTerrain = "Teren z chmury: ", kContours = "Poziomice z chmury: ", kWater = "Woda z chmury: ";

terrain::HeightSampler cellsOf(const terrain::HeightGrid& grid) {
    return [&grid](double x, double y) -> std::optional<double> {
        // The tiles ask exactly the nodes of the grid, so rounding only removes the
        // last bit of a sum.
        const auto c = static_cast<long long>(std::llround((x - grid.x0) / grid.step));
        const auto r = static_cast<long long>(std::llround((y - grid.y0) / grid.step));
        if (c < 0 || r < 0 || c >= grid.nx || r >= grid.ny) return std::nullopt;
        const double v = grid.at(static_cast<std::int32_t>(c), static_cast<std::int32_t>(r));
        if (std::isnan(v)) return std::nullopt;
        return v;
    };
}

// The grid's ground and water points; other classes are not asked for.
struct SplitPoints {
    std::vector<terrain::CloudXyz> ground, water;
};

SplitPoints splitByClass(std::vector<FrameCloudPoint>&& points) {
    SplitPoints out;
    for (const FrameCloudPoint& p : points) {
        if (p.cls == kGroundClass) out.ground.push_back({p.x, p.y, p.z});
        else if (p.cls == kWaterClass) out.water.push_back({p.x, p.y, p.z});
    }
    points = {};
    return out;
}

bool contours(const terrain::CloudGroundGrid& grid, const CloudGroundRequest& request, const StageIo& io,
              CloudGround& out) {
    const terrain::HeightGrid* heights = &grid.heights;
    terrain::HeightGrid smoothed;
    if (request.smooth) {
        smoothed = grid.heights;
        terrain::bilateralSmooth(smoothed, 1.5, 0.2);
        heights = &smoothed;
    }
    terrain::ContourResult built = terrain::ContourBuilder::build(
        *heights, request.interval, {}, io.cancelled, [&](std::size_t done, std::size_t total) {
            io.progress("Poziomice z chmury", static_cast<int>(done), static_cast<int>(total));
        });
    if (built.cancelled) return false;
    if (!built.message.empty()) io.warn(built.message);
    const std::string interval = terrain::formatMetres(request.interval);
    if (built.contours.empty())
        io.warn(kContours + "brak deniwelacji wiekszej niz ciecie " + interval +
                " m w tym kadrze - teren zbyt plaski dla wybranego ciecia.");
    io.warn(kContours + std::to_string(built.contours.size()) + " warstwic, ciecie " + interval + " m" +
            (request.smooth ? ", wygladzone" : ""));
    out.contours = std::move(built.contours);
    return true;
}

void water(const terrain::CloudGroundGrid& grid, const StageIo& io, CloudGround& out) {
    if (grid.waterPoints == 0) {
        io.warn(kWater + "brak punktow wody (klasa 9) w kadrze - powierzchni wody nie wyrownano.");
        return;
    }
    if (grid.waterCells == 0) {
        io.warn(kWater + "brak komorek wody w kadrze.");
        return;
    }
    out.water = terrain::waterSurface(grid);
}

}  // namespace

double cloudGridStep(const geo::Bbox& frame, double requested, const StageIo& io) {
    const double step = requested > 0.0 && std::isfinite(requested) ? requested : 1.0;
    const double longer = std::max(frame.maxX - frame.minX, frame.maxY - frame.minY);
    // 799 steps are 800 nodes.
    if (!(longer / step > kMaxCloudGridNodes - 1)) return step;
    const double coarser = longer / (kMaxCloudGridNodes - 1);
    io.warn(kTerrain + "kadr duzy dla kroku " + numberText(step, std::chars_format::general, 6) +
            " m - krata zgrubiona do " + numberText(coarser, std::chars_format::fixed, 2) +
            " m (limit 800 wezlow/os). Zmniejsz kadr dla drobniejszej kraty.");
    return coarser;
}

double cloudGroundMargin(double step) { return step / 2; }

CloudGroundStage cloudGroundFromPoints(std::vector<FrameCloudPoint>&& points, const geo::Bbox& frame, double step,
                                       const CloudGroundRequest& request, const StageIo& io) {
    CloudGroundStage out;
    const SplitPoints split = splitByClass(std::move(points));
    if (split.ground.empty()) io.warn(kTerrain + "brak punktow gruntu (klasa 2) w kadrze.");
    const terrain::CloudGroundGrid grid =
        terrain::buildCloudGroundGrid(split.ground, frame, step, split.water, request.water);
    if (grid.validCells == 0) {
        io.warn(kTerrain + "brak waznych komorek w kadrze.");
        return out;
    }
    if (request.terrain) {
        terrain::TerrainTiles tiles = terrain::buildTerrainTiles(frame, grid.heights.step, cellsOf(grid.heights));
        if (!tiles.message.empty()) io.warn(kTerrain + tiles.message);
        out.ground.terrainTiles = std::move(tiles.tiles);
    }
    if (request.contours && !contours(grid, request, io, out.ground)) {
        out.cancelled = true;
        return out;
    }
    if (request.water) water(grid, io, out.ground);
    return out;
}

CloudGroundStage fetchCloudGround(net::WfsClient& client, const geo::Bbox& frame, const CloudGroundRequest& request,
                                  const StageIo& io) {
    CloudGroundRequest wanted = request;
    wanted.contours = request.contours && contourIntervalAllowed(request.interval, kContours, io);
    if (!wanted.terrain && !wanted.contours && !wanted.water) return {};
    // The margin follows the step the grid really has, coarsened or not.
    const double step = cloudGridStep(frame, wanted.step, io);
    FrameCloud cloud =
        loadFrameCloud(client, frame, cloudGroundMargin(step), 0, wanted.currentYear, "Teren z chmury: LiDAR", kTerrain,
                       io, [](std::uint8_t cls) { return cls == kGroundClass || cls == kWaterClass; });
    if (cloud.cancelled) return {{}, true};
    if (cloud.tilesRead == 0) return {};
    return cloudGroundFromPoints(std::move(cloud.points), frame, step, wanted, io);
}

}  // namespace kl::import
