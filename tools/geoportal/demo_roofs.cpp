#include "tools/geoportal/demo_roofs.h"

#include "tools/geoportal/geometry.h"
#include "tools/geoportal/model_buildings.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kl::geoportal {

namespace {

constexpr double kPitchRise = 0.45;  // ridge over the eaves per metre of span
constexpr double kShedRise = 0.15;
constexpr double kModelRoofRise = 0.35;  // of the county LOD2 model's gabled houses
constexpr double kEaveScatter = 0.6;  // metres inside the walls where gutters scatter the echoes
constexpr double kGridMetres = 20.0;

double length(Xy a, Xy b) { return std::hypot(b.x - a.x, b.y - a.y); }

// A hash of the point and the salt as a number in [0, 1).
double unitNoise(Xy p, uint64_t salt) {
    uint64_t h = salt * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(std::llround(p.x * 1000)) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(std::llround(p.y * 1000)) + 0x85157AF5ull + (h << 6) + (h >> 2);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return static_cast<double>(h >> 11) / 9007199254740992.0;
}

struct Local {
    double u, v;  // along the ridge, across it (positive to the left)
};

Local local(const DemoRoof& roof, Xy p) {
    const double dx = p.x - roof.centre.x, dy = p.y - roof.centre.y;
    return {dx * roof.along.x + dy * roof.along.y, -dx * roof.along.y + dy * roof.along.x};
}

double surfaceAt(const DemoRoof& roof, Local l) {
    const double rise = roof.ridge - roof.eave;
    const double hs = roof.halfSpan;
    const double fromLow = std::clamp(l.v + hs, 0.0, 2 * hs);
    switch (roof.kind) {
    case DemoRoofKind::Flat:
        return roof.eave;
    case DemoRoofKind::Shed:
        return roof.eave + fromLow / (2 * hs) * rise;
    case DemoRoofKind::Gabled:
    case DemoRoofKind::AsymGabled:
    case DemoRoofKind::Hipped: {
        const double ridgeAt = roof.ridgeAcross * 2 * hs;
        const double cross = fromLow <= ridgeAt ? roof.eave + fromLow / ridgeAt * rise
                                                : roof.eave + (2 * hs - fromLow) / (2 * hs - ridgeAt) * rise;
        if (roof.kind != DemoRoofKind::Hipped) return cross;
        const double end = roof.eave + (roof.halfLength - std::abs(l.u)) / roof.hipInset * rise;
        return std::min(cross, end);
    }
    }
    return roof.eave;
}

bool nearChimney(const DemoRoof& roof, Local l) {
    const double v = (roof.ridgeAcross * 2 - 1) * roof.halfSpan - 1.0;
    return roof.chimney && std::abs(l.u - roof.halfLength * 0.4) < 0.3 && std::abs(l.v - v) < 0.3;
}

DemoRoof flatRoof(const std::vector<Xy>& ring, double ground, double top) {
    DemoRoof roof;
    roof.footprint = ring;
    roof.ground = ground;
    roof.eave = roof.ridge = top;
    Box box = Box::empty();
    for (const Xy& p : ring) box.include(p);
    roof.centre = {(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2};
    roof.along = {1, 0};
    roof.halfLength = (box.maxX - box.minX) / 2;
    roof.halfSpan = (box.maxY - box.minY) / 2;
    return roof;
}

// The county model's gabled houses take the kinds in turn, their eaves where
// the model has them; every other building keeps its flat top.
DemoRoof demoRoofFor(const ModelBuilding& b, const std::vector<Xy>& ring, size_t index) {
    if (b.roofType != 1030) return flatRoof(ring, b.ground, b.ground + b.height);
    static constexpr DemoRoofKind kCycle[] = {DemoRoofKind::Gabled,     DemoRoofKind::Hipped, DemoRoofKind::Gabled,
                                              DemoRoofKind::AsymGabled, DemoRoofKind::Shed,   DemoRoofKind::Flat};
    const DemoRoofKind kind = kCycle[index % std::size(kCycle)];
    const int longEdge = length(ring[0], ring[1]) >= length(ring[1], ring[2]) ? 0 : 1;
    const double span = longEdge == 0 ? length(ring[1], ring[2]) : length(ring[0], ring[1]);
    const double eave = b.ground + b.height - kModelRoofRise * span;
    const double rise = kind == DemoRoofKind::Flat ? 0.0 : (kind == DemoRoofKind::Shed ? kShedRise : kPitchRise) * span;
    DemoRoof roof = rectangleRoof(kind, ring, longEdge, b.ground, eave, eave + rise);
    roof.chimney = index % 3 == 0 && kind != DemoRoofKind::Flat;
    roof.tree = index % 4 == 1;
    return roof;
}

struct RoofGrid {
    std::map<std::pair<long long, long long>, std::vector<const DemoRoof*>> cells;
};

std::pair<long long, long long> cellOf(Xy p) {
    return {static_cast<long long>(std::floor(p.x / kGridMetres)), static_cast<long long>(std::floor(p.y / kGridMetres))};
}

const RoofGrid& roofGrid() {
    static const RoofGrid grid = [] {
        RoofGrid g;
        for (const DemoRoof& roof : demoRoofs()) {
            Box box = Box::empty();
            for (const Xy& p : roof.footprint) box.include(p);
            const auto [x0, y0] = cellOf({box.minX, box.minY});
            const auto [x1, y1] = cellOf({box.maxX, box.maxY});
            for (long long x = x0; x <= x1; ++x)
                for (long long y = y0; y <= y1; ++y) g.cells[{x, y}].push_back(&roof);
        }
        return g;
    }();
    return grid;
}

}  // namespace

const char* demoRoofName(DemoRoofKind kind) {
    switch (kind) {
    case DemoRoofKind::Flat: return "Flat";
    case DemoRoofKind::Shed: return "Shed";
    case DemoRoofKind::Gabled: return "Gabled";
    case DemoRoofKind::AsymGabled: return "AsymGabled";
    case DemoRoofKind::Hipped: return "Hipped";
    }
    return "Flat";
}

DemoRoof rectangleRoof(DemoRoofKind kind, const std::vector<Xy>& footprint, int ridgeEdge, double ground, double eave,
                       double ridge) {
    DemoRoof roof;
    roof.kind = kind;
    roof.footprint = footprint;
    roof.ground = ground;
    roof.eave = eave;
    roof.ridge = kind == DemoRoofKind::Flat ? eave : ridge;
    for (const Xy& p : footprint) {
        roof.centre.x += p.x / static_cast<double>(footprint.size());
        roof.centre.y += p.y / static_cast<double>(footprint.size());
    }
    const Xy& a = footprint[static_cast<size_t>(ridgeEdge)];
    const Xy& b = footprint[static_cast<size_t>(ridgeEdge) + 1];
    const Xy& c = footprint[static_cast<size_t>(ridgeEdge) + 2];
    const double l = length(a, b);
    roof.along = l > 0 ? Xy{(b.x - a.x) / l, (b.y - a.y) / l} : Xy{1, 0};
    roof.halfLength = l / 2;
    roof.halfSpan = length(b, c) / 2;
    roof.ridgeAcross = kind == DemoRoofKind::AsymGabled ? 0.68 : 0.5;
    roof.hipInset = roof.halfSpan;
    return roof;
}

std::optional<double> roofSurface(const DemoRoof& roof, Xy p) {
    if (!pointInRing(roof.footprint, p)) return std::nullopt;
    return surfaceAt(roof, local(roof, p));
}

std::optional<RoofHit> roofHit(const DemoRoof& roof, Xy p, uint64_t salt) {
    const auto surface = roofSurface(roof, p);
    if (!surface) return std::nullopt;
    const Local l = local(roof, p);
    if (roof.tree && length(p, roof.footprint[0]) < 2.5) return RoofHit{roof.ridge + 1.5 + unitNoise(p, salt), 5};
    if (nearChimney(roof, l)) return RoofHit{*surface + 1.2, 6};
    double z = *surface + (unitNoise(p, salt) - 0.5) * 0.06;
    // Gutters and the top of the walls under the eaves.
    const double toWall = std::min(roof.halfLength - std::abs(l.u), roof.halfSpan - std::abs(l.v));
    if (toWall < kEaveScatter && unitNoise(p, salt + 1) < 0.3) z -= unitNoise(p, salt + 2) * 1.5;
    return RoofHit{z, 6};
}

const std::vector<DemoRoof>& demoRoofs() {
    static const std::vector<DemoRoof> roofs = [] {
        std::vector<DemoRoof> out;
        const std::vector<ModelBuilding> buildings = demoModelBuildings(DemoArea::instance());
        for (size_t i = 0; i < buildings.size(); ++i) {
            const ModelBuilding& b = buildings[i];
            std::vector<Xy> ring;
            for (const ModelFace& f : b.lod1)
                if (f.surface == ModelSurface::Roof)
                    for (const Xyz& p : f.exterior) ring.push_back({p.x, p.y});
            if (ring.size() < 3 || b.lod1.size() != ring.size() + 2) continue;  // courtyards: not a plain roof
            DemoRoof roof = demoRoofFor(b, ring, i);
            roof.buildingId = b.id;
            out.push_back(std::move(roof));
        }
        return out;
    }();
    return roofs;
}

const DemoRoof* demoRoofAt(Xy p) {
    const RoofGrid& grid = roofGrid();
    const auto it = grid.cells.find(cellOf(p));
    if (it == grid.cells.end()) return nullptr;
    for (const DemoRoof* roof : it->second)
        if (pointInRing(roof->footprint, p)) return roof;
    return nullptr;
}

}  // namespace kl::geoportal

namespace kl::geoportal {

std::optional<double> demoRoofTop(Xy p) {
    const DemoRoof* roof = demoRoofAt(p);
    if (!roof) return std::nullopt;
    const auto surface = roofSurface(*roof, p);
    if (!surface) return std::nullopt;
    if (roof->tree && length(p, roof->footprint[0]) < 2.5) return roof->ridge + 2.5;
    return nearChimney(*roof, local(*roof, p)) ? *surface + 1.2 : *surface;
}

}  // namespace kl::geoportal
