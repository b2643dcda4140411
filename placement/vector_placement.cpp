#include "placement/vector_placement.h"

#include <string>

#include "placement/element_makers.h"
#include "placement/parcel_label.h"
#include "placement/zone_symbology.h"

namespace kl::placement {
namespace {

using geo::DataType;

constexpr int32_t kParcelPen = 10;
constexpr int32_t kBuildingPen = 6;
constexpr int32_t kUtilityPen = 5;

class FeatureDrawer {
public:
    FeatureDrawer(const PlacementTransform& t, PlaceResult& result) : t_(t), result_(result) {}

    Points line(const geo::Polyline& source) {
        Points out;
        out.reserve(source.size());
        for (const auto& p : source) {
            out.push_back(t_.apply(p));
            result_.widen(out.back().x, out.back().y);
        }
        return out;
    }

    KlErr draw(const geo::GisFeature& f, int32_t layer) {
        switch (f.type) {
            case DataType::Parcels: return parcel(f, layer);
            case DataType::Buildings: return building(f, layer);
            case DataType::ZoningPlans:
            case DataType::GeneralPlans:
                return drawZoningFeature(f, t_, layer, fills_, [this](geo::Point2d p) { result_.widen(p.x, p.y); });
            case DataType::UtilityNetworks: return utility(f, layer);
            default: return KL_NOERROR;
        }
    }

private:
    KlErr parcel(const geo::GisFeature& f, int32_t layer) {
        for (const auto& poly : f.polygons) {
            if (KlErr e = makePolyline(closedRing(line(poly.exterior)), layer, kParcelPen)) return e;
            for (const auto& h : poly.holes)
                if (KlErr e = makePolyline(closedRing(line(h)), layer, kParcelPen)) return e;
        }
        for (const auto& l : f.lines)
            if (KlErr e = makePolyline(line(l), layer, kParcelPen)) return e;
        if (f.hasPoint) {
            const std::string number = parcelNumber(f.attributes);
            if (!number.empty()) return makeText(t_.apply(f.point), number, layer, kParcelPen, 1.5);
        }
        return KL_NOERROR;
    }

    KlErr building(const geo::GisFeature& f, int32_t layer) {
        for (const auto& poly : f.polygons) {
            std::vector<Points> holes;
            for (const auto& h : poly.holes) holes.push_back(line(h));
            if (KlErr e = makeSolidFill(fills_, line(poly.exterior), holes, layer, kBuildingPen, Rgb{})) return e;
        }
        return KL_NOERROR;
    }

    KlErr utility(const geo::GisFeature& f, int32_t layer) {
        for (const auto& l : f.lines)
            if (KlErr e = makePolyline(line(l), layer, kUtilityPen)) return e;
        return KL_NOERROR;
    }

    const PlacementTransform& t_;
    PlaceResult& result_;
    FillPatterns fills_;  // one drawer per placement command, so looked up once per command
};

}  // namespace

PlaceResult placeVectorFeatures(const std::vector<geo::GisFeature>& features, const PlacementTransform& t,
                                LayerResolver& layers) {
    PlaceResult result;
    // The extent covers placed features only: a feature is measured apart and
    // added once the host has taken it.
    PlaceResult feature;
    FeatureDrawer drawer(t, feature);
    for (const auto& f : features) {
        feature.hasExtent = false;
        const int32_t layer = layers.layerForType(f.type);
        if (layer == kInvalidLayer) {
            result.error = missingLayerMessage(f.type);
            return result;
        }
        if (drawer.draw(f, layer) != KL_NOERROR) {
            ++result.skipped;
            continue;
        }
        ++result.counts[std::string(geo::dataTypeKey(f.type))];
        if (feature.hasExtent) {
            result.widen(feature.minX, feature.minY);
            result.widen(feature.maxX, feature.maxY);
        }
    }
    return result;
}

}  // namespace kl::placement
