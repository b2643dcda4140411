#include "placement/morph_builder.h"

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "placement/element_makers.h"
#include "base/host_access.h"

namespace kl::placement {
namespace {

using buildings::Point3d;

constexpr double kPlanarTolerance = 0.05;  // metres off the face's plane
constexpr double kClosingTolerance = 1e-6;

Ring3 withoutClosingPoint(Ring3 ring) {
    if (ring.size() > 1) {
        const Point3d &a = ring.front(), &b = ring.back();
        if (std::abs(a.x - b.x) <= kClosingTolerance && std::abs(a.y - b.y) <= kClosingTolerance &&
            std::abs(a.z - b.z) <= kClosingTolerance)
            ring.pop_back();
    }
    return ring;
}

Vec3 sub(const Point3d& a, const Point3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 crossProduct(const Vec3& u, const Vec3& v) { return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; }
double dot(const Vec3& u, const Vec3& v) { return u.x * v.x + u.y * v.y + u.z * v.z; }
double length(const Vec3& v) { return std::sqrt(dot(v, v)); }

enum class FaceShape { PlanarConvex, PlanarConcave, NonPlanar };

// The normal from the first pair of points that spans the face, the largest
// distance of a point from that plane, and the turns seen along the normal.
FaceShape classify(const Ring3& ring) {
    const Point3d& p0 = ring[0];
    Vec3 normal;
    bool found = false;
    for (size_t a = 1; a < ring.size() && !found; ++a)
        for (size_t b = a + 1; b < ring.size() && !found; ++b) {
            const Vec3 c = crossProduct(sub(ring[a], p0), sub(ring[b], p0));
            const double len = length(c);
            if (len > 1e-6) {
                normal = {c.x / len, c.y / len, c.z / len};
                found = true;
            }
        }
    if (!found) return FaceShape::NonPlanar;
    for (const auto& p : ring)
        if (std::abs(dot(sub(p, p0), normal)) > kPlanarTolerance) return FaceShape::NonPlanar;
    const double ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    const int drop = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
    auto flat = [drop](const Point3d& p) -> std::pair<double, double> {
        if (drop == 0) return {p.y, p.z};
        if (drop == 1) return {p.z, p.x};
        return {p.x, p.y};
    };
    int sign = 0;
    const size_t n = ring.size();
    for (size_t i = 0; i < n; ++i) {
        const auto [ax0, ay0] = flat(ring[i]);
        const auto [bx, by] = flat(ring[(i + 1) % n]);
        const auto [cx, cy] = flat(ring[(i + 2) % n]);
        const double turn = (bx - ax0) * (cy - by) - (by - ay0) * (cx - bx);
        if (std::abs(turn) <= 1e-9) continue;
        const int s = turn > 0 ? 1 : -1;
        if (sign != 0 && s != sign) return FaceShape::PlanarConcave;
        sign = s;
    }
    return FaceShape::PlanarConvex;
}

// One body under construction; disposed on every path.
class BodyBuilder {
public:
    BodyBuilder(bool shared, int32_t material) : shared_(shared), material_(material) {
        error_ = host()->BodyCreate(&body_);
    }
    ~BodyBuilder() {
        if (body_) host()->BodyDispose(&body_);
    }
    BodyBuilder(const BodyBuilder&) = delete;
    BodyBuilder& operator=(const BodyBuilder&) = delete;

    KlErr error() const { return error_; }
    KlBodyRef body() const { return body_; }

    int32_t vertex(const Point3d& p) {
        if (shared_) {
            const Key key{std::llround(p.x * 1000), std::llround(p.y * 1000), std::llround(p.z * 1000)};
            if (auto it = vertices_.find(key); it != vertices_.end()) return it->second;
            const int32_t index = newVertex(p);
            if (index) vertices_.emplace(key, index);
            return index;
        }
        return newVertex(p);
    }

    // A closed loop of vertices as one polygon; pairs of one vertex are left
    // out and a loop of fewer than three edges adds nothing.
    void polygon(const std::vector<int32_t>& loop) {
        std::vector<int32_t> edges;
        edges.reserve(loop.size());
        for (size_t i = 0; i < loop.size() && error_ == KL_NOERROR; ++i) {
            const int32_t a = loop[i], b = loop[(i + 1) % loop.size()];
            if (a == b) continue;
            edges.push_back(edge(a, b));
        }
        if (error_ != KL_NOERROR || edges.size() <= 2) return;
        int32_t index = 0;
        keep(host()->BodyAddPolygon(body_, edges.data(), static_cast<int32_t>(edges.size()), material_, &index));
    }

    void keep(KlErr err) {
        if (error_ == KL_NOERROR) error_ = err;
    }

private:
    using Key = std::tuple<long long, long long, long long>;

    int32_t newVertex(const Point3d& p) {
        const KlCoord3 c{p.x, p.y, p.z};
        int32_t index = 0;
        keep(host()->BodyAddVertex(body_, &c, &index));
        return error_ == KL_NOERROR ? index : 0;
    }

    int32_t edge(int32_t a, int32_t b) {
        if (shared_) {
            if (auto it = edges_.find({a, b}); it != edges_.end()) return it->second;
            if (auto it = edges_.find({b, a}); it != edges_.end()) return -it->second;
        }
        int32_t index = 0;
        keep(host()->BodyAddEdge(body_, a, b, &index));
        if (shared_) edges_.emplace(std::make_pair(a, b), index);
        return index;
    }

    bool shared_;
    int32_t material_;
    KlBodyRef body_ = nullptr;
    KlErr error_ = KL_NOERROR;
    std::map<Key, int32_t> vertices_;
    std::map<std::pair<int32_t, int32_t>, int32_t> edges_;
};

void addFace(BodyBuilder& body, const BodyFace& face, bool triangulateAll, TriangulationStats* stats) {
    const Ring3 outline = withoutClosingPoint(face.outline);
    if (outline.size() < 3) return;
    std::vector<Ring3> holes;
    for (const auto& h : face.holes)
        if (Ring3 ring = withoutClosingPoint(h); ring.size() >= 3) holes.push_back(std::move(ring));
    if (!triangulateAll) {
        if (stats) ++stats->faces;
        const FaceShape shape = classify(outline);
        if (stats) {
            if (shape == FaceShape::PlanarConvex && holes.empty()) ++stats->planarConvex;
            else if (shape == FaceShape::NonPlanar) ++stats->nonPlanar;
            else ++stats->planarConcave;
        }
        if (shape == FaceShape::PlanarConvex && holes.empty()) {
            std::vector<int32_t> loop;
            for (const auto& p : outline) loop.push_back(body.vertex(p));
            body.polygon(loop);
            return;
        }
    }
    std::vector<int32_t> vertices;
    for (const auto& p : outline) vertices.push_back(body.vertex(p));
    for (const auto& h : holes)
        for (const auto& p : h) vertices.push_back(body.vertex(p));
    for (const Triangle& t : triangulateFace(outline, holes, stats))
        body.polygon({vertices[static_cast<size_t>(t[0])], vertices[static_cast<size_t>(t[1])],
                      vertices[static_cast<size_t>(t[2])]});
}

}  // namespace

KlErr makeMorph(const std::vector<BodyFace>& faces, int32_t layer, MorphMode mode, int32_t material,
                TriangulationStats* stats, std::string_view id) {
    if (faces.empty()) return kErrNoFaces;
    KlElement element;
    std::memset(&element, 0, sizeof element);
    element.type = KL_ELEM_MORPH;
    HostMemo memo;
    if (KlErr err = host()->GetElementDefaults(&element, memo.get())) return err;
    element.layer = layer;
    element.material = material;
    BodyBuilder body(mode.sharedTopology, material);
    for (const auto& face : faces) {
        if (body.error() != KL_NOERROR) break;
        addFace(body, face, mode.triangulateAll, stats);
    }
    if (body.error() != KL_NOERROR) return body.error();
    if (KlErr err = host()->BodyFinish(body.body(), memo.get())) return err;
    if (KlErr err = host()->CreateElement(&element, memo.get())) return err;
    if (!id.empty()) host()->SetElementInfoString(&element.guid, std::string(id).c_str());
    return KL_NOERROR;
}

KlErr makeMorphWithFallback(const std::vector<BodyFace>& faces, int32_t material, int32_t layer,
                            TriangulationStats* stats, std::string_view id, int* mode) {
    KlErr err = KL_NOERROR;
    for (int i = 0; i < 3; ++i) {
        err = makeMorph(faces, layer, kMorphModes[i], material, stats, id);
        if (err == KL_NOERROR) {
            if (mode) *mode = i;
            return err;
        }
    }
    return err;
}

}  // namespace kl::placement
