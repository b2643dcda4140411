// Flat roofs from the cloud for a town's worth of footprints: the points
// bucketed once, then each footprint reads only the buckets under it, on one
// thread and on two. As the reference, the first footprints are also run
// against every point of the cloud, the walk the buckets replace.
//   kl_roof_from_cloud_bench [FOOTPRINTS] [MILLION_POINTS]
#include <algorithm>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "buildings/roof_from_cloud.h"
#include "geodata/polygon.h"
#include "import/parallel_footprints.h"

namespace {

using Clock = std::chrono::steady_clock;
using kl::buildings::CloudPoint;

std::string number(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 3);
    return std::string(text, r.ptr);
}

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

int parsed(const char* text, int fallback) {
    int v = fallback;
    std::from_chars(text, text + std::char_traits<char>::length(text), v);
    return v;
}

// Houses of 12 x 10 m every 25 m, on rows of 50.
std::vector<kl::geo::Ring> footprints(int count) {
    std::vector<kl::geo::Ring> out;
    for (int i = 0; i < count; ++i) {
        const double e = 500000 + 25.0 * (i % 50), n = 300000 + 25.0 * (i / 50);
        out.push_back({{e, n}, {e + 12, n}, {e + 12, n + 10}, {e, n + 10}});
    }
    return out;
}

// Evenly random returns over the houses' area: roofs 8 m up over the
// houses, ground elsewhere, and one return in a thousand a bird.
std::vector<CloudPoint> cloud(std::int64_t count, int houses) {
    const double width = 25.0 * 50, height = 25.0 * ((houses + 49) / 50);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    std::vector<CloudPoint> pts;
    pts.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const double x = next() * width, y = next() * height;
        const bool roof = std::fmod(x, 25.0) < 12 && std::fmod(y, 25.0) < 10;
        const std::uint8_t cls = i % 1000 == 0 ? 7 : roof ? 6 : 2;
        pts.push_back({500000 + x, 300000 + y, 190 + (roof ? 8 + next() * 0.2 : next() * 0.1), cls});
    }
    return pts;
}

}  // namespace

int main(int argc, char** argv) {
    const int houses = argc > 1 ? parsed(argv[1], 2000) : 2000;
    const std::int64_t points = static_cast<std::int64_t>(argc > 2 ? parsed(argv[2], 8) : 8) * 1000000;
    const std::vector<kl::geo::Ring> rings = footprints(houses);
    std::vector<CloudPoint> raw = cloud(points, houses);

    auto t = Clock::now();
    const kl::buildings::CloudPointGrid grid(raw);
    const double bucketing = seconds(t);
    t = Clock::now();
    const kl::buildings::GroundModel ground = kl::buildings::buildGroundModel(grid.points(), kl::buildings::kRoofGroundCell);
    const double groundModel = seconds(t);

    double roofs[2] = {0, 0};
    int flat = 0;
    for (unsigned threads : {1u, 2u}) {
        t = Clock::now();
        const auto results = kl::import::mapInParallel<kl::buildings::ReconstructionResult>(
            rings.size(), [&](std::size_t i) { return kl::buildings::roofFromCloud(rings[i], grid, ground, {}); }, {},
            threads);
        roofs[threads - 1] = seconds(t);
        flat = 0;
        for (const auto& r : results) flat += !r.faces.empty() && r.fallback == 0;
    }

    // The reference walk: every point against each of the first footprints.
    const int sampled = std::min(houses, 20);
    t = Clock::now();
    std::int64_t inside = 0;
    for (int i = 0; i < sampled; ++i)
        for (const CloudPoint& p : raw) inside += kl::geo::ringContains(rings[static_cast<std::size_t>(i)], {p.x, p.y});
    const double walkPerFootprint = seconds(t) / sampled;

    std::printf("footprints %d, points %lld\n", houses, static_cast<long long>(points));
    std::printf("bucketing %s s, ground model %s s (%zu cells)\n", number(bucketing).c_str(), number(groundModel).c_str(),
                ground.lowest.size());
    std::printf("roofs, 1 thread %s s, 2 threads %s s, ratio %s; flat roofs accepted %d\n", number(roofs[0]).c_str(),
                number(roofs[1]).c_str(), number(roofs[0] / roofs[1]).c_str(), flat);
    std::printf("every point against a footprint: %s s each, %s s for all (%lld inside the first %d)\n",
                number(walkPerFootprint).c_str(), number(walkPerFootprint * houses).c_str(),
                static_cast<long long>(inside), sampled);
    return 0;
}
