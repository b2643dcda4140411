#pragma once
// One run of "1. Pobierz elementy" over one frame: the stages in their fixed
// order, what they have gathered so far and every warning said. Private to
// the fetch pipeline: fetch_pipeline.cpp runs the stages, county_stages.cpp
// holds those served by the county and commune registries.
#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "geodata/gis_feature.h"
#include "import/elevation_stages.h"
#include "import/fetch_pipeline.h"
#include "net/county_registry.h"
#include "net/raster_tiles.h"
#include "net/wfs_tiling.h"

namespace kl::import {

// Thrown from a tile callback so that a tiled request stops at the next tile;
// caught in fetchForImport, never leaves the worker.
struct FetchCancelled {};

class FetchRun {
public:
    FetchRun(FetchServices& s, const FetchRequest& r, const FetchHooks& h, FetchOutcome& out)
        : s_(s), r_(r), h_(h), out_(out), selected_(r.layers.begin(), r.layers.end()) {}

    void run();

private:
    bool has(const char* key) const { return selected_.count(key) > 0; }
    void warn(const std::string& text) { appendWarning(out_.data.warning, text); }
    void checkCancel() const;
    void report(const std::string& label, int done, int total, bool cancellable) const;
    // Progress of a tiled request that also stops it once cancel is asked.
    net::TileProgress tiles(std::string label) const;
    StageIo stageIo();

    template <class Body>
    void stage(const std::string& name, Body body);

    // Wall time of one step, kept even when the step is cut short.
    template <class Body>
    auto timed(const std::string& name, Body body) {
        struct Clock {
            FetchOutcome& out;
            const std::string& name;
            std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
            ~Clock() {
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                out.stageSeconds.emplace_back(name, took.count());
            }
        } clock{out_, name};
        return body();
    }

    const std::string& commune();

    // The county and commune services (county_stages.cpp).
    void cadastre();
    std::string cadastreLost() const;
    std::vector<geo::GisFeature> layer(const std::string& endpoint, const std::string& typeName, geo::DataType type,
                                       const std::string& label);
    void newBuildingsFallback();
    void plans();
    void localPlans(const std::string& teryt);
    void utilities();
    bool utilityLines(const std::string& endpoint);
    void baseMap();
    net::CountyEndpoints endpoints(net::Registry registry, const std::string& teryt);
    std::string egibWfs(const std::string& teryt);
    void registryNote(net::Registry registry);
    std::string mapService(net::Registry registry, const std::string& own, const std::string& missing);
    using LayerChoice = std::vector<std::string> (*)(const std::vector<std::string>& offered);
    bool countyRaster(const std::string& wms, geo::DataType type, LayerChoice chooseLayers);

    // The national services and what is derived from them.
    void orthophoto();
    bool raster(const net::RasterSource& source);
    const TerrainSheets& terrainSheets(const std::string& progressLabel, const std::string& warningPrefix);
    void terrainTiles();
    void surfaceModelBuildings();
    void roofsFromCloud();
    void cloudGround();
    void elevationContours();
    void corridors();

    FetchServices& s_;
    const FetchRequest& r_;
    const FetchHooks& h_;
    FetchOutcome& out_;
    std::set<std::string, std::less<>> selected_;
    std::set<net::Registry> notedRegistries_;
    bool communeAsked_ = false;
    std::string teryt_;
    std::vector<geo::GisFeature> parcels_, buildings_, planZones_, utilities_;
    std::vector<net::RasterTile> rasters_;
    std::optional<TerrainSheets> terrainSheets_;
};

}  // namespace kl::import
