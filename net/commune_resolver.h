#pragma once
// Finds the TERYT code of the commune under the centre of a frame by asking
// the national administrative-boundaries WFS, and keeps the answer for later
// frames that lie inside the same commune.
#include "geodata/geometry.h"
#include "geodata/gis_feature.h"
#include "net/wfs_client.h"

#include <string>
#include <vector>

namespace kl::net {

inline constexpr const char* kDefaultCommuneLayer = "ms:A03_Granice_gmin";

struct CommuneAtPoint {
    std::string teryt;                      // 6 or 7 digits, empty when none
    std::vector<geo::Polygon> boundary;     // the commune's polygons, PL-1992
    int status = 0;
    std::string error;
};

// The first attribute whose key holds "teryt" or "kod" and whose value is 6 or
// 7 digits, preferring the feature whose boundary contains the point.
CommuneAtPoint communeFromBoundaryAnswer(const std::vector<geo::GisFeature>& features, geo::Point2d point);

// The layer that names communes, from a capabilities document; empty if none.
std::string communeLayerFromCapabilities(std::string_view capabilities);

class CommuneResolver {
public:
    // endpoint: the boundaries WFS; empty means the national one (with the
    // service host override applied).
    explicit CommuneResolver(std::string endpoint = {});

    // Asks the boundary service for the commune at a PL-1992 point.
    CommuneAtPoint communeTerytAtPoint(WfsClient& client, geo::Point2d point);

    // The commune code of a frame; empty when it cannot be found. A held code
    // is reused only while the new centre lies inside the held commune.
    std::string resolveCommuneTeryt(WfsClient& client, const geo::Bbox& frame);

    // Why the last resolve found no code when the service failed (Polish);
    // empty when it answered, whether or not it knew a commune there.
    const std::string& lastError() const { return lastError_; }
    const std::string& layerName() const { return layerName_; }
    bool holdsResult() const { return held_; }

private:
    std::string endpoint_;
    std::string layerName_;
    std::string lastError_;
    bool layerListRead_ = false;
    bool held_ = false;
    std::string heldTeryt_;
    std::vector<geo::Polygon> heldBoundary_;
};

}  // namespace kl::net
