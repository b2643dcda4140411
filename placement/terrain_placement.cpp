#include "placement/terrain_placement.h"

#include "placement/element_makers.h"
#include "terrain/contour_labels.h"
#include "terrain/contour_smoothing.h"

namespace kl::placement {
namespace {

constexpr int32_t kContourPen = 1, kIndexContourPen = 2, kLabelPen = 2;
constexpr double kLabelSize = 2.0;
constexpr int kSmoothingIterations = 2;
constexpr double kSmoothingTolerance = 0.05;  // metres

void drawContours(const ContourPlacement& in, const PlacementTransform& t, int32_t layer, PlaceResult& result) {
    std::vector<terrain::Contour> drawn = in.contours;
    if (in.smooth && in.lines) terrain::smoothContours(drawn, kSmoothingIterations, kSmoothingTolerance);
    int32_t lines = 0, labels = 0;
    if (in.lines) {
        for (const terrain::Contour& c : drawn) {
            Points points;
            points.reserve(c.points.size());
            for (const auto& [x, y] : c.points) points.push_back(t.apply({x, y}));
            if (points.size() >= 2 && makePolyline(points, layer, c.index ? kIndexContourPen : kContourPen) == KL_NOERROR)
                ++lines;
            else
                ++result.skipped;
        }
    }
    for (const terrain::Contour& c : drawn)
        for (const terrain::ContourLabel& label : terrain::labelContour(c)) {
            const KlErr err = makeText(t.apply({label.x, label.y}), label.text, layer, kLabelPen, kLabelSize,
                                       terrain::labelAngle(label.angle, t.angle));
            err == KL_NOERROR ? ++labels : ++result.skipped;
        }
    if (lines > 0) result.counts["poziomice2d"] = lines;
    if (labels > 0) result.counts["podpisy rzednych"] = labels;
}

}  // namespace

void placeTerrainMeshes(const std::vector<MeshGrid>& tiles, const PlacementTransform& t, double baseHeight,
                        LayerResolver& layers, PlaceResult& result) {
    if (tiles.empty()) return;
    const int32_t layer = layers.layerForType(geo::DataType::TerrainMesh);
    if (layer == kInvalidLayer) {
        result.error = missingLayerMessage(geo::DataType::TerrainMesh);
        return;
    }
    for (const MeshGrid& tile : tiles) {
        const MeshAttempt attempt = createMesh(tile, t, baseHeight, layer);
        if (attempt.hostCode != KL_NOERROR) {
            result.error = "Blad tworzenia Siatki terenu (kod " + std::to_string(attempt.hostCode) + ")";
            return;
        }
        if (attempt.made) ++result.counts["teren (Siatka)"];
    }
}

void placeContours(const ContourPlacement& in, const PlacementTransform& t, LayerResolver& layers,
                   PlaceResult& result) {
    if (in.contours.empty()) return;
    const int32_t layer2d = layers.layerForType(geo::DataType::Contours2d);
    if (layer2d == kInvalidLayer) {
        result.error = missingLayerMessage(geo::DataType::Contours2d);
        return;
    }
    drawContours(in, t, layer2d, result);
    if (!in.mesh) return;
    const int32_t layer3d = layers.layerForType(geo::DataType::Contours3d);
    if (layer3d == kInvalidLayer) {
        result.error = missingLayerMessage(geo::DataType::Contours3d);
        return;
    }
    const MeshAttempt attempt = createMeshFromContours(in.contours, in.frame, t, in.baseHeight, layer3d);
    if (attempt.placed()) {
        result.counts["poziomice3d"] = 1;
    } else if (!attempt.made) {
        result.warnings.push_back("Poziomice: za malo warstwic albo zbyt waski kadr na Siatke 3D - nie utworzono jej.");
    } else {
        ++result.skipped;
        result.warnings.push_back("Poziomice: nie udalo sie utworzyc Siatki 3D z warstwic.");
    }
}

}  // namespace kl::placement
