#include "cloud/pipeline/cloud_detail.h"

namespace kl::cloudui {

Detail detailFromText(std::string_view text) {
    if (text == "lekki") return Detail::Lekki;
    if (text == "full") return Detail::Full;
    return Detail::Standard;
}

double voxelEdge(Detail d) {
    switch (d) {
        case Detail::Lekki: return 0.5;
        case Detail::Full: return 0.0;
        case Detail::Standard: break;
    }
    return 0.2;
}

Estimate estimateCloud(double areaM2, double density, Detail d) {
    double points = areaM2 * density;
    const double edge = voxelEdge(d);
    if (edge > 0) {
        const double cap = areaM2 / (edge * edge);
        if (cap < points) points = cap;
    }
    Estimate e;
    e.points = static_cast<int64_t>(points + 0.5);
    e.sizeMB = static_cast<double>(e.points) * 16.0 / 1'000'000.0;
    e.overLimit = e.points > kPointBudget;
    e.density = density;
    return e;
}

}  // namespace kl::cloudui
