#include "import/osm_corridor_stage.h"

#include "buildings/surface_in_ring.h"
#include "geodata/corridor_ring.h"
#include "net/osm_ways_fetch.h"
#include "terrain/elevation_sheets.h"

namespace kl::import {
namespace {

constexpr const char* kProgress = "Mosty/drogi: korytarze";

buildings::HeightAt heightsOf(const terrain::SheetSet& sheets) {
    return [&sheets](double x, double y) { return terrain::sampleSheets(sheets, x, y); };
}

struct Tally {
    int made = 0, flagged = 0, empty = 0;
    void add(const buildings::ReconstructionResult& r) {
        if (r.faces.empty())
            ++empty;
        else if (r.fallback)
            ++flagged;
        else
            ++made;
    }
    std::string diagnostic(const char* item) const {
        return std::string(item) + "=" + std::to_string(made) + ", uproszczone=" + std::to_string(flagged) +
               ", bez_danych=" + std::to_string(empty);
    }
};

}  // namespace

CorridorBodies fetchCorridorBodies(net::WfsClient& client, const CorridorRequest& request,
                                   const TerrainSheetsSource& terrainSheetsOf, const StageIo& io) {
    CorridorBodies out;
    io.progress(kProgress, 0, 1);
    const net::OsmWaysFetch osm = net::fetchOsmWays(request.frame, client, request.bridges, request.roads);
    if (!osm.error.empty()) {
        io.warn(osm.error);
        return out;
    }
    if (osm.withoutGeometry > 0)
        io.warn("Mosty/drogi (OSM): pominieto " + std::to_string(osm.withoutGeometry) +
                " linii bez geometrii (mniej niz 2 punkty).");
    if (osm.ways.empty()) return out;
    const TerrainSheets& terrainSheets = terrainSheetsOf();

    const terrain::ElevationIndexQuery surfaceIndex = terrain::queryElevationIndex(
        client, terrain::ElevationModel::Surface, request.frame, request.currentYear);
    if (io.cancelled()) return out;
    const terrain::SheetLoad surface = terrain::loadSheets(
        client, surfaceIndex.sheets, {[&](int done, int total) { io.progress(kProgress, done, total); }, io.cancelled});
    if (surface.cancelled) return out;
    // An index that failed is named: "no coverage" alone would be a guess.
    for (const terrain::ElevationIndexQuery* index : {&surfaceIndex, &terrainSheets.index})
        if (index->sheets.empty() && !index->failure.empty()) io.warn("Mosty/drogi: " + index->failure);
    for (const std::string& w : surface.warnings) io.warn("Mosty/drogi: " + w);
    if (surface.sheets.empty() || terrainSheets.load.sheets.empty()) {
        io.warn("Mosty/drogi: brak pokrycia nMPT lub NMT dla tego kadru.");
        return out;
    }
    const buildings::SurfaceModelPair models{heightsOf(surface.sheets), heightsOf(terrainSheets.load.sheets)};

    buildings::SurfaceParams deck;
    buildings::SurfaceParams road;
    road.minCoverage = 0;
    road.useTerrain = true;
    road.clip = true;
    road.clipBox = request.frame;
    Tally bridges, roads;
    const int total = static_cast<int>(osm.ways.size());
    for (int i = 0; i < total; ++i) {
        if (io.cancelled()) return {};
        io.progress(kProgress, i, total);
        const net::OsmWay& way = osm.ways[static_cast<std::size_t>(i)];
        const std::vector<double> half(way.points.size(), way.width / 2);
        const geo::Ring corridor = geo::corridorRing(way.points, half, half, false);
        if (way.bridge && request.bridges) {
            out.bridges.push_back(buildings::surfaceInRing(corridor, models, deck));
            bridges.add(out.bridges.back());
        } else {
            out.roads.push_back(buildings::surfaceInRing(corridor, models, road));
            roads.add(out.roads.back());
        }
    }
    io.progress(kProgress, total, total);
    if (request.bridges)
        io.warn("Mosty (OSM): " + std::to_string(out.bridges.size()) + " (z nMPT: " + std::to_string(bridges.made) +
                ", uproszczone do korekty: " + std::to_string(bridges.flagged) + ", bez danych wysokosci: " +
                std::to_string(bridges.empty) + ").");
    if (request.roads)
        io.warn("Drogi (OSM): " + std::to_string(out.roads.size()) + " (na NMT: " + std::to_string(roads.made) +
                ", uproszczone do korekty: " + std::to_string(roads.flagged) + ", bez danych wysokosci: " +
                std::to_string(roads.empty) + ").");
    out.bridgeDiagnostic = bridges.diagnostic("most");
    out.roadDiagnostic = roads.diagnostic("droga");
    return out;
}

}  // namespace kl::import
