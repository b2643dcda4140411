#include "host/core/morph_body.h"

#include <cmath>

namespace kl::host {

KlErr MorphBody::addVertex(const KlCoord3& p, int32_t& index) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return KL_ERR_BADPARS;
    vertices.push_back(p);
    index = static_cast<int32_t>(vertices.size());
    return KL_NOERROR;
}

KlErr MorphBody::addEdge(int32_t v1, int32_t v2, int32_t& index) {
    const auto n = static_cast<int32_t>(vertices.size());
    if (v1 < 1 || v2 < 1 || v1 > n || v2 > n || v1 == v2) return KL_ERR_BADINDEX;
    edges.emplace_back(v1, v2);
    index = static_cast<int32_t>(edges.size());
    return KL_NOERROR;
}

KlErr MorphBody::addPolygon(const int32_t* signedEdges, int32_t count, int32_t material, int32_t& index) {
    if (!signedEdges || count < 3) return KL_ERR_BADPARS;
    const auto nEdges = static_cast<int32_t>(edges.size());
    // each contour (separated by 0) must chain edge to edge and close
    int32_t contourStart = 0, previousEnd = 0, contourLength = 0;
    auto closeContour = [&]() { return contourLength >= 3 && previousEnd == contourStart; };
    for (int32_t i = 0; i < count; ++i) {
        const int32_t e = signedEdges[i];
        if (e == 0) {
            if (!closeContour()) return KL_ERR_BADPARS;
            contourLength = 0;
            continue;
        }
        const int32_t a = e < 0 ? -e : e;
        if (a > nEdges) return KL_ERR_BADINDEX;
        const auto& edge = edges[static_cast<size_t>(a - 1)];
        const int32_t from = e > 0 ? edge.first : edge.second;
        const int32_t to = e > 0 ? edge.second : edge.first;
        if (contourLength == 0)
            contourStart = from;
        else if (from != previousEnd)
            return KL_ERR_BADPARS;
        previousEnd = to;
        ++contourLength;
    }
    if (!closeContour()) return KL_ERR_BADPARS;
    polygons.push_back({std::vector<int32_t>(signedEdges, signedEdges + count), material});
    index = static_cast<int32_t>(polygons.size());
    return KL_NOERROR;
}

}  // namespace kl::host
