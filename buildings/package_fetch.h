#pragma once
// The fetch of the county building models for one frame: download the
// county's package into the cache, find the sheets that meet the frame and
// read their buildings. Runs on the import worker; never throws for network,
// file or data faults, which reach the warn hook as Polish text.
#include <functional>
#include <string>
#include <vector>

#include "buildings/lod_building.h"
#include "buildings/zip_reader.h"
#include "geodata/geometry.h"
#include "net/wfs_client.h"

namespace kl::buildings {

struct PackageFetchHooks {
  std::function<void(const std::string& label, int done, int total)> progress;  // may be empty
  std::function<bool()> cancelled;                                              // may be empty
  std::function<void(const std::string&)> warn;                                 // may be empty
};

struct PackageFetchInput {
  geo::Bbox frame;    // PL-1992
  std::string teryt;  // of the frame's commune or county; empty when unknown
  ReadLimits limits;
};

template <class Building>
struct PackageFetchResult {
  std::vector<Building> buildings;  // empty on every failure and on cancel
  std::string summary;              // one line, set on success
};

// "budynki3d": the newest LOD1 edition the county has.
PackageFetchResult<Lod1Building> fetchBuildings3d(net::WfsClient& client, const PackageFetchInput& input,
                                                  const PackageFetchHooks& hooks);

// "budynkilod2": the county's LOD2 package.
PackageFetchResult<Lod2Building> fetchBuildingsLod2(net::WfsClient& client, const PackageFetchInput& input,
                                                    const PackageFetchHooks& hooks);

}  // namespace kl::buildings
