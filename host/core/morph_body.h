#pragma once
// A morph body as the add-on builds it: vertices, edges between them and
// polygons made of signed edge references. All indices are 1-based; a
// negative edge in a polygon runs from its second vertex to its first; an
// edge reference 0 separates the outer contour from a hole.
#include <cstdint>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct MorphPolygon {
    std::vector<int32_t> edges;
    int32_t material = 0;
};

struct MorphBody {
    std::vector<KlCoord3> vertices;
    std::vector<std::pair<int32_t, int32_t>> edges;
    std::vector<MorphPolygon> polygons;

    KlErr addVertex(const KlCoord3& p, int32_t& index);
    KlErr addEdge(int32_t v1, int32_t v2, int32_t& index);
    KlErr addPolygon(const int32_t* signedEdges, int32_t count, int32_t material, int32_t& index);
};

}  // namespace kl::host

// The handle the add-on holds.
struct KlBody {
    kl::host::MorphBody body;
    bool finished = false;
};
