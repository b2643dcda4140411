#pragma once
// Bridges and roads of the frame from OpenStreetMap, asked of the Overpass
// interpreter in one query.
#include <string>
#include <string_view>
#include <vector>

#include "geodata/geometry.h"
#include "net/overpass_ways.h"
#include "net/wfs_client.h"

namespace kl::net {

// Overpass refuses (or times out on) larger boxes; the map page says so too.
inline constexpr double kMaxOsmFrameSquareMetres = 25'000'000.0;
// The query gives the server 25 s ("[timeout:25]"); cutting the wait shorter
// would drop answers that are on their way and ask again, which a busy
// Overpass answers with 429.
inline constexpr int kOverpassReceiveTimeoutMs = 35000;

struct OsmWaysFetch {
    std::vector<OsmWay> ways;
    std::string error;  // Polish; set when the frame's ways did not come whole
    int withoutGeometry = 0;
};

// The query text for the frame's south, west, north and east in degrees.
std::string overpassQuery(const geo::Bbox& frame, bool bridges, bool roads);

// Neither kind wanted: nothing is asked. A frame above the limit, a failing
// service, an unreadable answer and an answer Overpass cut short give no
// ways and the reason in error.
OsmWaysFetch fetchOsmWays(const geo::Bbox& frame, WfsClient& client, bool bridges, bool roads);

}  // namespace kl::net
