// Speed of the 3D body placement.
//   kl_bench_bodies build [BUILDINGS]   LOD2 buildings of about 30 faces each
//                                       placed into a workbench project
//   kl_bench_bodies clip FILE.json      ear clipping of the polygons in FILE
//                                       ([[ring, hole...], ...], rings as flat
//                                       x,y lists), one round per "go" line on
//                                       stdin, so a driver can alternate it
//                                       with another triangulator
#include <chrono>
#include <ctime>
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/core/workbench.h"
#include "placement/building_bodies.h"
#include "placement/ear_clipping.h"
#include "tests/support/host_binding.h"

using namespace kl;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A house on a footprint of n corners (a rounded, slightly dented outline):
// ground, n walls, and a roof cut into a ring of slopes around a flat top.
buildings::Lod2Building house(int index, int corners) {
    const double cx = 500000 + 40.0 * (index % 100), cy = 250000 + 40.0 * (index / 100);
    std::vector<geo::Point2d> foot;
    for (int i = 0; i < corners; ++i) {
        const double a = 2 * 3.141592653589793 * i / corners;
        const double r = 8 + (i % 3 == 0 ? -1.5 : 0.7);
        foot.push_back({cx + r * std::cos(a), cy + 0.7 * r * std::sin(a)});
    }
    const double z0 = 120, z1 = 126, z2 = 129;
    auto at = [](geo::Point2d p, double z) { return buildings::Point3d{p.x, p.y, z}; };
    auto inner = [&](size_t i) { return geo::Point2d{cx + (foot[i].x - cx) * 0.4, cy + (foot[i].y - cy) * 0.4}; };
    buildings::Lod2Building b{"dom." + std::to_string(index), "1000", {}};
    buildings::Lod2Face ground{buildings::FaceKind::Ground, {}, {}};
    for (size_t i = foot.size(); i-- > 0;) ground.exterior.push_back(at(foot[i], z0));
    b.faces.push_back(ground);
    buildings::Lod2Face top{buildings::FaceKind::Roof, {}, {}};
    for (size_t i = 0; i < foot.size(); ++i) {
        const size_t j = (i + 1) % foot.size();
        b.faces.push_back({buildings::FaceKind::Wall, {at(foot[i], z0), at(foot[j], z0), at(foot[j], z1), at(foot[i], z1)}, {}});
        b.faces.push_back({buildings::FaceKind::Roof, {at(foot[i], z1), at(foot[j], z1), at(inner(j), z2), at(inner(i), z2)}, {}});
        top.exterior.push_back(at(inner(i), z2));
    }
    b.faces.push_back(top);
    return b;
}

int build(int count) {
    std::vector<buildings::Lod2Building> set;
    for (int i = 0; i < count; ++i) set.push_back(house(i, 14));  // 1 + 14 + 14 + 1 = 30 faces
    host::Workbench wb;
    bindAddonToHost(&host::Workbench::hostTable());
    placement::PlaceResult result;
    placement::BodyReport report;
    const auto t0 = Clock::now();
    const std::clock_t c0 = std::clock();
    struct Ctx {
        const std::vector<buildings::Lod2Building>* set;
        placement::PlaceResult* result;
        placement::BodyReport* report;
    } ctx{&set, &result, &report};
    wb.undoableCommand(
        "Import GIS",
        [](void* c) -> KlErr {
            auto* x = static_cast<Ctx*>(c);
            placement::placeLod2Buildings(*x->set, {500000, 250000, 0, 0, 0}, 100, 1, *x->result, *x->report);
            return KL_NOERROR;
        },
        &ctx);
    const double s = secondsSince(t0);
    const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    bindAddonToHost(nullptr);
    // the machine is shared: CPU time is the figure that does not depend on the neighbours
    std::cout << count << " buildings of 30 faces placed in " << s << " s wall, " << cpu << " s CPU\n"
              << report.lines.at(0) << "\n";
    return result.counts["budynkilod2"] == count ? 0 : 1;
}

int clip(const char* file) {
    std::ifstream in(file);
    const auto doc = nlohmann::json::parse(in);
    std::vector<std::vector<std::vector<geo::Point2d>>> polygons;
    for (const auto& p : doc) {
        std::vector<std::vector<geo::Point2d>> rings;
        for (const auto& flat : p) {
            std::vector<geo::Point2d> ring;
            for (size_t i = 0; i + 1 < flat.size(); i += 2) ring.push_back({flat[i].get<double>(), flat[i + 1].get<double>()});
            rings.push_back(std::move(ring));
        }
        polygons.push_back(std::move(rings));
    }
    std::string line;
    while (std::getline(std::cin, line) && line == "go") {
        size_t triangles = 0;
        const auto t0 = Clock::now();
        for (const auto& p : polygons) triangles += placement::clipEars(p).size();
        std::cout << secondsSince(t0) * 1000 << " " << triangles << std::endl;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "build") return build(argc > 2 ? std::stoi(argv[2]) : 10000);
    if (mode == "clip" && argc > 2) return clip(argv[2]);
    std::cerr << "usage: kl_bench_bodies build [BUILDINGS] | clip FILE.json\n";
    return 2;
}
