#include "cloud/pipeline/cloud_laz_export.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_writer.h"

namespace kl::cloud {
namespace {

using las::storeLe;

constexpr uint8_t kPointFormat = 2;
constexpr uint16_t kRecordLength = 26;
constexpr size_t kBatchPoints = 65536;

constexpr uint16_t kGeoKeyDirectoryRecord = 34735;
constexpr uint16_t kModelTypeKey = 1024;
constexpr uint16_t kRasterTypeKey = 1025;
constexpr uint16_t kProjectedSystemKey = 3072;
constexpr uint16_t kModelTypeProjected = 1;
constexpr uint16_t kRasterPixelIsArea = 1;

bool toRaw(double metres, int32_t& raw) {
    const double steps = std::round(metres / kLazScale);
    if (!std::isfinite(steps) || steps < std::numeric_limits<int32_t>::min() || steps > std::numeric_limits<int32_t>::max())
        return false;
    raw = static_cast<int32_t>(steps);
    return true;
}

void stampToday(las::LasHeader& h) {
    using namespace std::chrono;
    const auto today = floor<days>(system_clock::now());
    const year_month_day ymd{today};
    const auto newYear = sys_days{ymd.year() / January / 1};
    h.creationYear = static_cast<uint16_t>(static_cast<int>(ymd.year()));
    h.creationDay = static_cast<uint16_t>((today - newYear).count() + 1);
}

// GeoKeyDirectoryTag payload: model type projected, raster type pixel-is-area,
// projected system = epsg.
std::vector<uint8_t> projectedGeoKeys(int epsg) {
    const std::array<std::array<uint16_t, 4>, 4> entries{{
        {1, 1, 0, 3},  // directory version, key revision, minor revision, key count
        {kModelTypeKey, 0, 1, kModelTypeProjected},
        {kRasterTypeKey, 0, 1, kRasterPixelIsArea},
        {kProjectedSystemKey, 0, 1, static_cast<uint16_t>(epsg)},
    }};
    std::vector<uint8_t> out(entries.size() * 8);
    uint8_t* p = out.data();
    for (const auto& e : entries)
        for (uint16_t v : e) {
            storeLe<uint16_t>(p, v);
            p += 2;
        }
    return out;
}

}  // namespace

las::LasHeader cloudLazHeader(const LazPlacement& placement) {
    las::LasHeader h;
    h.versionMajor = 1;
    h.versionMinor = 2;
    h.systemIdentifier = "EXTRACTION";
    h.pointFormat = kPointFormat;
    h.recordLength = kRecordLength;
    h.scale = {kLazScale, kLazScale, kLazScale};
    h.offset = {std::round(placement.originE), std::round(placement.originN), std::round(placement.originZ)};
    stampToday(h);
    las::LasVlr keys;
    keys.userId = "LASF_Projection";
    keys.recordId = kGeoKeyDirectoryRecord;
    keys.description = "EPSG:" + std::to_string(placement.epsg);
    keys.payload = projectedGeoKeys(placement.epsg);
    h.vlrs.push_back(std::move(keys));
    return h;
}

las::LasStatus writeCloudLaz(const std::string& path, const std::vector<CloudPoint>& points, const LazPlacement& placement) {
    if (placement.epsg <= 0 || placement.epsg > std::numeric_limits<uint16_t>::max())
        return las::LasStatus::failure("Plik " + path + ": nieobslugiwany uklad EPSG:" + std::to_string(placement.epsg));
    const las::LasHeader header = cloudLazHeader(placement);
    // Local coordinates are small, so the origin-to-offset shift is added
    // first to keep the millimetres of far-off absolute values.
    const double shiftE = placement.originE - header.offset[0];
    const double shiftN = placement.originN - header.offset[1];
    const double shiftZ = placement.originZ - header.offset[2];

    las::LasWriter writer;
    if (las::LasStatus st = writer.open(path, header); !st) return st;
    std::vector<uint8_t> batch;
    batch.reserve(kBatchPoints * kRecordLength);
    for (size_t start = 0; start < points.size(); start += kBatchPoints) {
        const size_t n = std::min(kBatchPoints, points.size() - start);
        batch.assign(n * kRecordLength, 0);
        for (size_t i = 0; i < n; ++i) {
            const CloudPoint& pt = points[start + i];
            uint8_t* rec = batch.data() + i * kRecordLength;
            int32_t x = 0, y = 0, z = 0;
            if (!toRaw(shiftE + pt.x, x) || !toRaw(shiftN + pt.y, y) || !toRaw(shiftZ + pt.z, z)) {
                // the writer's destructor drops its temporary file
                return las::LasStatus::failure("Plik " + path + ": punkt nr " + std::to_string(start + i + 1) +
                                               " lezy poza zakresem wspolrzednych LAS");
            }
            storeLe<int32_t>(rec, x);
            storeLe<int32_t>(rec + 4, y);
            storeLe<int32_t>(rec + 8, z);
            rec[14] = 0x09;  // return 1 of 1: a thinned cloud keeps one echo per spot
            // 8-bit colour spread over the full 16-bit range (0xFF -> 0xFFFF).
            storeLe<uint16_t>(rec + 20, static_cast<uint16_t>(pt.r * 257));
            storeLe<uint16_t>(rec + 22, static_cast<uint16_t>(pt.g * 257));
            storeLe<uint16_t>(rec + 24, static_cast<uint16_t>(pt.b * 257));
        }
        if (las::LasStatus st = writer.write(batch.data(), n); !st) return st;
    }
    return writer.close();
}

}  // namespace kl::cloud
