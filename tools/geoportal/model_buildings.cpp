#include "tools/geoportal/model_buildings.h"

#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/text_util.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kl::geoportal {

namespace {

constexpr double kStoreyMetres = 3.0;
constexpr double kPlinthMetres = 0.6;
constexpr double kRoofRisePerSpan = 0.35;  // ridge above the eaves per metre of the short side

std::vector<Xyz> atHeight(const std::vector<Xy>& ring, double z) {
    std::vector<Xyz> out;
    for (const Xy& p : ring) out.push_back({p.x, p.y, z});
    return out;
}

// Walls of every ring edge between two heights, outward for a counter-clockwise exterior.
void addWalls(std::vector<ModelFace>& faces, const std::vector<Xy>& ring, double bottom, double top) {
    for (size_t i = 0; i < ring.size(); ++i) {
        const Xy& a = ring[i];
        const Xy& b = ring[(i + 1) % ring.size()];
        faces.push_back({ModelSurface::Wall, {{a.x, a.y, bottom}, {b.x, b.y, bottom}, {b.x, b.y, top}, {a.x, a.y, top}}, {}});
    }
}

// Ground (facing down), walls and a flat top.
std::vector<ModelFace> block(const std::vector<std::vector<Xy>>& rings, double bottom, double top) {
    std::vector<ModelFace> faces;
    ModelFace ground{ModelSurface::Ground, {}, {}}, roof{ModelSurface::Roof, {}, {}};
    for (size_t r = 0; r < rings.size(); ++r) {
        std::vector<Xy> down(rings[r].rbegin(), rings[r].rend());
        (r == 0 ? ground.exterior : ground.holes.emplace_back()) = atHeight(down, bottom);
        (r == 0 ? roof.exterior : roof.holes.emplace_back()) = atHeight(rings[r], top);
    }
    faces.push_back(std::move(ground));
    for (const auto& ring : rings) addWalls(faces, ring, bottom, top);
    faces.push_back(std::move(roof));
    return faces;
}

double distance(const Xy& a, const Xy& b) { return std::hypot(a.x - b.x, a.y - b.y); }
Xy midpoint(const Xy& a, const Xy& b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

// A rectangle p0..p3 (counter-clockwise) under a roof whose ridge runs along its long side.
std::vector<ModelFace> gabled(const std::vector<Xy>& ring, double bottom, double eaves, double ridge) {
    // Rotate so that p0-p1 is a long side.
    std::vector<Xy> p = ring;
    if (distance(p[0], p[1]) < distance(p[1], p[2])) std::rotate(p.begin(), p.begin() + 1, p.end());
    const Xy r0 = midpoint(p[3], p[0]), r1 = midpoint(p[1], p[2]);
    std::vector<ModelFace> faces;
    faces.push_back({ModelSurface::Ground, atHeight({p[3], p[2], p[1], p[0]}, bottom), {}});
    auto wall = [&](std::vector<Xyz> points) { faces.push_back({ModelSurface::Wall, std::move(points), {}}); };
    wall({{p[0].x, p[0].y, bottom}, {p[1].x, p[1].y, bottom}, {p[1].x, p[1].y, eaves}, {p[0].x, p[0].y, eaves}});
    wall({{p[1].x, p[1].y, bottom}, {p[2].x, p[2].y, bottom}, {p[2].x, p[2].y, eaves}, {r1.x, r1.y, ridge},
          {p[1].x, p[1].y, eaves}});
    wall({{p[2].x, p[2].y, bottom}, {p[3].x, p[3].y, bottom}, {p[3].x, p[3].y, eaves}, {p[2].x, p[2].y, eaves}});
    wall({{p[3].x, p[3].y, bottom}, {p[0].x, p[0].y, bottom}, {p[0].x, p[0].y, eaves}, {r0.x, r0.y, ridge},
          {p[3].x, p[3].y, eaves}});
    faces.push_back({ModelSurface::Roof,
                     {{p[0].x, p[0].y, eaves}, {p[1].x, p[1].y, eaves}, {r1.x, r1.y, ridge}, {r0.x, r0.y, ridge}},
                     {}});
    faces.push_back({ModelSurface::Roof,
                     {{p[2].x, p[2].y, eaves}, {p[3].x, p[3].y, eaves}, {r0.x, r0.y, ridge}, {r1.x, r1.y, ridge}},
                     {}});
    return faces;
}

// The cadastre's id as an XML id: a letter first, "/" (of parcel numbers) as "-".
std::string gmlId(std::string id) {
    std::replace(id.begin(), id.end(), '/', '-');
    return "BUD_" + id;
}

std::vector<Xy> opened(const std::vector<Xy>& ring) {
    std::vector<Xy> out = ring;
    if (out.size() > 1 && out.front().x == out.back().x && out.front().y == out.back().y) out.pop_back();
    return out;
}

}  // namespace

std::vector<ModelBuilding> demoModelBuildings(const DemoArea& area) {
    std::vector<ModelBuilding> out;
    const DemoLayer* buildings = area.layer(layer::kBuildings);
    if (!buildings) return out;
    bool partGiven = false;
    for (const DemoFeature& f : buildings->features) {
        if (f.kind != GeometryKind::Polygon || f.rings.empty()) continue;
        std::vector<std::vector<Xy>> rings;
        for (const auto& ring : f.rings) rings.push_back(opened(ring));
        ModelBuilding b;
        b.id = gmlId(f.property("ID_BUDYNKU").empty() ? f.id : f.property("ID_BUDYNKU"));
        b.ground = std::numeric_limits<double>::infinity();
        for (const Xy& p : rings.front()) {
            b.ground = std::min(b.ground, demoGroundHeight(p));
            b.centre.x += p.x / static_cast<double>(rings.front().size());
            b.centre.y += p.y / static_cast<double>(rings.front().size());
        }
        b.ground = std::floor(b.ground * 100) / 100;
        const int storeys = static_cast<int>(parseInt(f.property("KONDYGNACJE_NADZIEMNE")).value_or(1));
        const double eaves = b.ground + kPlinthMetres + kStoreyMetres * storeys;
        const std::string kind = f.property("RODZAJ");
        const bool houseShape = rings.size() == 1 && rings.front().size() == 4 && kind != "h";
        double top = eaves;
        if (houseShape) {
            const std::vector<Xy>& r = rings.front();
            const double span = std::min(distance(r[0], r[1]), distance(r[1], r[2]));
            top = eaves + kRoofRisePerSpan * span;
            b.roofType = 1030;
            b.lod2 = gabled(r, b.ground, eaves, top);
        } else {
            b.lod2 = block(rings, b.ground, eaves);
        }
        b.height = top - b.ground;
        b.lod1 = block(rings, b.ground, top);
        if (!partGiven && rings.size() == 1 && rings.front().size() == 6) b.inPart = partGiven = true;
        out.push_back(std::move(b));
    }
    return out;
}

}  // namespace kl::geoportal
