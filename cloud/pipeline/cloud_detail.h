#pragma once
#include <cstdint>
#include <string_view>

namespace kl::cloudui {

// Quality level chosen on the cloud page.
enum class Detail : int32_t { Lekki = 0, Standard = 1, Full = 2 };

// "lekki", "standard", "full"; any other text is Standard.
Detail detailFromText(std::string_view text);
// Voxel edge in metres; 0 keeps every point.
double voxelEdge(Detail d);

inline constexpr int64_t kPointBudget = 8'000'000;

struct Estimate {
    int64_t points = 0;
    double sizeMB = 0;
    bool overLimit = false;
    double density = 0;
};

// Points expected for a frame of the given area (m²) at the given density
// (points per m²), capped by what the voxel grid of the level can keep.
Estimate estimateCloud(double areaM2, double density, Detail d);

}  // namespace kl::cloudui
