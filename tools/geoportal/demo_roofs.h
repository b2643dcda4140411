#pragma once
// Known roofs over the demo site's LOD1 footprints, for the LiDAR tiles and
// the surface model sheets: gabled (ridges along the long walls, whichever
// corner the footprint's list starts at), asymmetric gabled, hipped, shed and
// flat, with a little noise at the eaves, chimneys on some houses and a tree
// leaning over some roofs. Each roof keeps its truth so that a fit can be
// scored against it.

#include "tools/geoportal/demo_area.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kl::geoportal {

enum class DemoRoofKind { Flat, Shed, Gabled, AsymGabled, Hipped };

// The roof primitive's name as a fit names it ("Gabled", ...).
const char* demoRoofName(DemoRoofKind kind);

struct DemoRoof {
    std::string buildingId;     // the LOD1 model's gml:id
    std::vector<Xy> footprint;  // open, in the model's order
    DemoRoofKind kind = DemoRoofKind::Flat;
    double ground = 0;  // at the walls
    double eave = 0;
    double ridge = 0;  // equal to eave on a flat roof
    // The ridge's frame: centre of the rectangle, unit vector along the
    // ridge (along the low eave of a shed) and the half extents along and
    // across it.
    Xy centre, along;
    double halfLength = 0, halfSpan = 0;
    double ridgeAcross = 0.5;  // from the low (-across) eave, share of the span
    double hipInset = 0;       // of a hipped roof's ridge ends from the walls
    bool chimney = false;      // 0.6 m square, 1.2 m over the roof beside the ridge
    bool tree = false;         // a crown 1.5 m over the roof at the footprint's first corner
};

// A roof over a rectangle (4 points): ridge along the edge `ridgeEdge`
// (0: first -> second vertex, 1: second -> third), eave and ridge heights.
DemoRoof rectangleRoof(DemoRoofKind kind, const std::vector<Xy>& footprint, int ridgeEdge, double ground,
                       double eave, double ridge);

// Height of the roof surface (no chimney, no tree) at p, if p is inside.
std::optional<double> roofSurface(const DemoRoof& roof, Xy p);

// One measurement of a building point at p: height and ASPRS class (6, or
// 5 under a leaning tree), with the eaves' scatter; salt varies the noise.
struct RoofHit {
    double z = 0;
    uint8_t cls = 6;
};
std::optional<RoofHit> roofHit(const DemoRoof& roof, Xy p, uint64_t salt);

// The roofs of the demo site, one per LOD1 building with a known roof.
const std::vector<DemoRoof>& demoRoofs();

// The demo roof under p, if any (a grid lookup, cheap enough per point).
const DemoRoof* demoRoofAt(Xy p);

// The highest point over p of the demo roof there (chimney and tree
// included), as the surface model shows it; none off the roofs.
std::optional<double> demoRoofTop(Xy p);

}  // namespace kl::geoportal
