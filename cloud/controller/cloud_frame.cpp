#include "cloud/controller/cloud_frame.h"

#include <cmath>

#include "geodata/polish_crs.h"

namespace kl::cloud {
namespace {
// Poland with a margin; PL-1992 and the PL-2000 zones are not meant for more.
constexpr double kMinLon = 13.0, kMaxLon = 25.0, kMinLat = 48.0, kMaxLat = 56.0;
}

std::optional<CloudFrame> cloudFrameFromMessage(const nlohmann::json& msg) {
    const auto it = msg.find("bboxWgs84");
    if (it == msg.end() || !it->is_array() || it->size() != 4) return std::nullopt;
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
        if (!(*it)[i].is_number()) return std::nullopt;
        v[i] = (*it)[i].get<double>();
        if (!std::isfinite(v[i])) return std::nullopt;
    }
    CloudFrame f{{}, v[0], v[1], v[2], v[3]};
    if (!(f.west < f.east && f.south < f.north)) return std::nullopt;
    if (f.west < kMinLon || f.east > kMaxLon || f.south < kMinLat || f.north > kMaxLat) return std::nullopt;
    f.pl1992 = geo::pl1992BoxFromWgs84Frame(f.west, f.south, f.east, f.north);
    return f;
}

}  // namespace kl::cloud
