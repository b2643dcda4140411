#include "tools/geoportal/lidar_tile_generator.h"

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_reader.h"
#include "cloud/las/las_writer.h"
#include "tools/geoportal/crs.h"
#include "tools/geoportal/demo_river.h"
#include "tools/geoportal/demo_roofs.h"
#include "tools/geoportal/lidar_ground_features.h"
#include "tools/geoportal/text_util.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <limits>
#include <system_error>

#ifndef KL_SAMPLES_DIR
#define KL_SAMPLES_DIR ""
#endif

namespace kl::geoportal {

namespace {

namespace fs = std::filesystem;
using las::loadLe;
using las::storeLe;

// A trimmed airborne survey (LAS 1.2, format 3, coordinates in international feet).
constexpr const char* kSourceSample = "las/pdal__laz_autzen_trim.laz";
constexpr double kSourceUnitMetres = 0.3048;
constexpr double kGroundCellMetres = 25.0;
constexpr double kMaxObjectHeight = 15.0;  // keeps every point under demo::kLidarMaxHeight
constexpr double kScale = 0.01;
constexpr uint64_t kBatch = 50000;
constexpr uint8_t kGroundClass = 2;

struct SourceCloud {
    bool ok = false;
    std::string message;
    std::vector<uint8_t> records;  // format 3, 34 bytes each
    std::vector<float> dx, dy;     // metres from the sample's south-west corner
    std::vector<float> aboveGround;
    double width = 0, height = 0;
    uint16_t globalEncoding = 0;
    bool eightBitColour = false;  // the sample keeps 0-255 in its 16-bit colour fields
    size_t size() const { return dx.size(); }
};

// The part of the sample that the survey covers without a gap, in metres
// from its south-west corner: its corners and the river beside it hold no
// returns, and repeated over the site they would leave bands without a single
// point across the streets, which no national sheet has.
constexpr Box kSourceWindow{40.0, 10.0, 250.0, 80.0};

void keepWindow(SourceCloud& c) {
    const Box& w = kSourceWindow;
    size_t kept = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        if (c.dx[i] < w.minX || c.dx[i] >= w.maxX || c.dy[i] < w.minY || c.dy[i] >= w.maxY) continue;
        std::copy_n(c.records.data() + i * 34, 34, c.records.data() + kept * 34);
        c.dx[kept] = static_cast<float>(c.dx[i] - w.minX);
        c.dy[kept] = static_cast<float>(c.dy[i] - w.minY);
        c.aboveGround[kept] = c.aboveGround[i];
        ++kept;
    }
    c.records.resize(kept * 34);
    c.dx.resize(kept);
    c.dy.resize(kept);
    c.aboveGround.resize(kept);
    c.width = w.maxX - w.minX;
    c.height = w.maxY - w.minY;
}

const SourceCloud& sourceCloud() {
    static const SourceCloud cloud = [] {
        SourceCloud c;
        const std::string path = std::string(KL_SAMPLES_DIR) + "/" + kSourceSample;
        las::LasReader reader;
        if (auto st = reader.open(path); !st) {
            c.message = st.message;
            return c;
        }
        const las::LasHeader& h = reader.header();
        if (h.pointFormat != 3 || h.recordLength != 34) {
            c.message = "Plik " + path + ": oczekiwano punktow formatu 3";
            return c;
        }
        if (auto st = reader.readAll(&c.records); !st) {
            c.message = st.message;
            return c;
        }
        c.globalEncoding = h.globalEncoding;
        const size_t n = c.records.size() / 34;
        const int cols = static_cast<int>(std::ceil((h.max[0] - h.min[0]) * kSourceUnitMetres / kGroundCellMetres)) + 1;
        const int rows = static_cast<int>(std::ceil((h.max[1] - h.min[1]) * kSourceUnitMetres / kGroundCellMetres)) + 1;
        std::vector<double> groundMin(static_cast<size_t>(cols * rows), std::numeric_limits<double>::infinity());
        std::vector<double> anyMin(groundMin);
        std::vector<size_t> cell(n);
        std::vector<double> z(n);
        c.dx.resize(n);
        c.dy.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* r = c.records.data() + i * 34;
            const double x = (loadLe<int32_t>(r) * h.scale[0] + h.offset[0] - h.min[0]) * kSourceUnitMetres;
            const double y = (loadLe<int32_t>(r + 4) * h.scale[1] + h.offset[1] - h.min[1]) * kSourceUnitMetres;
            z[i] = (loadLe<int32_t>(r + 8) * h.scale[2] + h.offset[2]) * kSourceUnitMetres;
            c.dx[i] = static_cast<float>(std::max(0.0, x));
            c.dy[i] = static_cast<float>(std::max(0.0, y));
            const int cx = std::clamp(static_cast<int>(x / kGroundCellMetres), 0, cols - 1);
            const int cy = std::clamp(static_cast<int>(y / kGroundCellMetres), 0, rows - 1);
            cell[i] = static_cast<size_t>(cy * cols + cx);
            anyMin[cell[i]] = std::min(anyMin[cell[i]], z[i]);
            if ((r[15] & 31) == kGroundClass) groundMin[cell[i]] = std::min(groundMin[cell[i]], z[i]);
        }
        uint16_t maxColour = 0;
        for (size_t i = 0; i < n; ++i)
            for (int k = 0; k < 3; ++k) maxColour = std::max(maxColour, loadLe<uint16_t>(c.records.data() + i * 34 + 28 + 2 * k));
        c.eightBitColour = maxColour <= 255;
        c.aboveGround.resize(n);
        for (size_t i = 0; i < n; ++i) {
            // Ground points lie on the demo ground itself, so that the
            // terrain model sheets made from it agree with them.
            if ((c.records[i * 34 + 15] & 31) == kGroundClass) continue;
            const double ground = std::isfinite(groundMin[cell[i]]) ? groundMin[cell[i]] : anyMin[cell[i]];
            c.aboveGround[i] = static_cast<float>(std::clamp(z[i] - ground, 0.0, kMaxObjectHeight));
        }
        keepWindow(c);
        c.ok = c.size() > 0;
        if (!c.ok) c.message = "Plik " + path + ": za malo punktow wzorca";
        return c;
    }();
    return cloud;
}

// Sub-metre shifts of the densifying copies (low-discrepancy, so copies never stack).
Xy layerShift(int layer) {
    const double a = std::fmod(layer * 0.6180339887498949, 1.0);
    const double b = std::fmod(layer * 0.4142135623730951, 1.0);
    return {a * 0.8, b * 0.8};
}

// Walks every candidate point of the sheet: the sample repeated on an absolute
// grid of its own size, in `layers` shifted copies, kept when inside the sheet.
template <class Visit>
void forEachCandidate(const SourceCloud& src, const Box& sheet, int layers, Visit&& visit) {
    for (int layer = 0; layer < layers; ++layer) {
        const Xy shift = layerShift(layer);
        const long long firstCy = static_cast<long long>(std::floor((sheet.minY - shift.y) / src.height)) - 1;
        const long long lastCy = static_cast<long long>(std::floor((sheet.maxY - shift.y) / src.height));
        const long long firstCx = static_cast<long long>(std::floor((sheet.minX - shift.x) / src.width)) - 1;
        const long long lastCx = static_cast<long long>(std::floor((sheet.maxX - shift.x) / src.width));
        for (long long cy = firstCy; cy <= lastCy; ++cy) {
            for (long long cx = firstCx; cx <= lastCx; ++cx) {
                const double ox = static_cast<double>(cx) * src.width + shift.x;
                const double oy = static_cast<double>(cy) * src.height + shift.y;
                for (size_t i = 0; i < src.size(); ++i) {
                    const Xy p{ox + src.dx[i], oy + src.dy[i]};
                    if (p.x >= sheet.minX && p.x < sheet.maxX && p.y >= sheet.minY && p.y < sheet.maxY) visit(i, p);
                }
            }
        }
    }
}

uint64_t countCandidates(const SourceCloud& src, const Box& sheet, int layers) {
    uint64_t n = 0;
    forEachCandidate(src, sheet, layers, [&](size_t, Xy) { ++n; });
    return n;
}

int32_t quantise(double value, double offset) { return static_cast<int32_t>(std::llround((value - offset) / kScale)); }

// A format 7 record (LAS 1.4) from a format 3 one, coordinates already set.
void toFormat7(const uint8_t* in, uint8_t* out) {
    std::copy(in, in + 12, out);
    storeLe<uint16_t>(out + 12, loadLe<uint16_t>(in + 12));
    const uint8_t returnNumber = in[14] & 7, returns = (in[14] >> 3) & 7;
    out[14] = static_cast<uint8_t>(returnNumber | (returns << 4));
    out[15] = static_cast<uint8_t>(((in[15] >> 5) & 7) | (in[14] & 0xC0));  // synthetic/key/withheld; scan direction, edge
    out[16] = in[15] & 31;
    out[17] = in[17];
    storeLe<int16_t>(out + 18, static_cast<int16_t>(static_cast<int8_t>(in[16]) * 1000 / 6));  // 0.006 degree units
    storeLe<uint16_t>(out + 20, loadLe<uint16_t>(in + 18));
    std::copy(in + 20, in + 34, out + 22);  // GPS time and colour
}

las::LasVlr geoKeyVlr(int epsg) {
    // GeoTIFF key directory: projected model, the EPSG system, metres.
    const uint16_t keys[] = {1, 1, 0, 3, 1024, 0, 1, 1, 3072, 0, 1, static_cast<uint16_t>(epsg), 3076, 0, 1, 9001};
    las::LasVlr v;
    v.userId = "LASF_Projection";
    v.recordId = 34735;
    v.description = "GeoKeyDirectoryTag";
    for (uint16_t k : keys) las::appendLe(&v.payload, k);
    return v;
}

las::LasVlr wktVlr(int epsg) {
    const std::string wkt =
        "PROJCS[\"ETRF2000-PL / CS2000/" + formatInt((epsg - 2171) * 3) +
        "\",GEOGCS[\"ETRF2000-PL\",DATUM[\"ETRF2000_Poland\",SPHEROID[\"GRS 1980\",6378137,298.257222101]],"
        "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
        "PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\"," + formatInt((epsg - 2171) * 3) +
        "],PARAMETER[\"scale_factor\",0.999923],PARAMETER[\"false_easting\"," + formatInt((epsg - 2171) * 1000000 + 500000) +
        "],PARAMETER[\"false_northing\",0],UNIT[\"metre\",1],AUTHORITY[\"EPSG\",\"" + formatInt(epsg) + "\"]]";
    las::LasVlr v;
    v.userId = "LASF_Projection";
    v.recordId = 2112;
    v.description = "OGC WKT";
    v.payload.assign(wkt.begin(), wkt.end());
    v.payload.push_back(0);
    return v;
}

// A sample point over a demo building lands on its roof, as a building point.
void putOnRoof(const DemoRoof& roof, Xy p, uint64_t salt, uint8_t* record) {
    const auto hit = roofHit(roof, p, salt);
    if (!hit) return;
    storeLe<int32_t>(record + 8, quantise(hit->z, 0));
    record[15] = static_cast<uint8_t>((record[15] & ~31) | hit->cls);
}

// Output system coordinates of a sheet's corners give the header offset.
Box outputBox(const LidarSheet& sheet) {
    Box out = Box::empty();
    const Box& b = sheet.bounds;
    for (Xy c : {Xy{b.minX, b.minY}, Xy{b.maxX, b.minY}, Xy{b.minX, b.maxY}, Xy{b.maxX, b.maxY}})
        out.include(fromPl1992(sheet.epsg(), c));
    return out;
}

LidarTileFile generate(const LidarParams& params, const LidarSheet& sheet, const std::string& target) {
    const SourceCloud& src = sourceCloud();
    if (!src.ok) return {false, "Brak wzorca chmury punktow: " + src.message, {}};
    const uint64_t wanted = lidarTilePointCount(params);
    const double sourceDensity = static_cast<double>(src.size()) / (src.width * src.height);
    int layers = std::max(1, static_cast<int>(std::ceil(params.density / sourceDensity * 1.05)));
    uint64_t candidates = countCandidates(src, sheet.bounds, layers);
    while (candidates < wanted && layers < 1000) candidates = countCandidates(src, sheet.bounds, ++layers);
    if (candidates < wanted) return {false, "Nie mozna wygenerowac arkusza " + sheet.godlo, {}};

    const bool zone = sheet.kind == LidarSheetKind::Pl2000Zone;
    const bool eightBit = sheet.kind == LidarSheetKind::EightBitColour;
    const Box box = outputBox(sheet);
    las::LasHeader h;
    h.pointFormat = zone ? 7 : 3;
    h.recordLength = zone ? 36 : 34;
    h.scale = {kScale, kScale, kScale};
    h.offset = {std::floor(box.minX / 1000) * 1000, std::floor(box.minY / 1000) * 1000, 0};
    h.globalEncoding = static_cast<uint16_t>((src.globalEncoding & 1) | (zone ? 16 : 0));
    h.fileSourceId = static_cast<uint16_t>(sheet.featureId % 65536);
    h.systemIdentifier = "DEMO LIDAR BOLESLAWIEC";
    h.creationYear = static_cast<uint16_t>(demo::kLidarYear);
    h.creationDay = 141;
    h.vlrs.push_back(zone ? wktVlr(sheet.epsg()) : geoKeyVlr(sheet.epsg()));

    const std::string part = target + "." + formatInt(static_cast<long long>(::getpid())) + ".part";
    las::LasWriter writer;
    if (auto st = writer.open(part, h); !st) return {false, st.message, {}};
    std::vector<uint8_t> batch;
    batch.reserve(kBatch * h.recordLength);
    uint8_t record[34];
    uint64_t index = 0;
    las::LasStatus status;
    forEachCandidate(src, sheet.bounds, layers, [&](size_t i, Xy p) {
        // Even thinning to exactly `wanted` of the `candidates` in walk order.
        const uint64_t c = index++;
        if (!status || (c + 1) * wanted / candidates == c * wanted / candidates) return;
        std::copy_n(src.records.data() + i * 34, 34, record);
        const Xy out = fromPl1992(sheet.epsg(), p);
        storeLe<int32_t>(record, quantise(out.x, h.offset[0]));
        storeLe<int32_t>(record + 4, quantise(out.y, h.offset[1]));
        double z = demoGroundHeight(p) + src.aboveGround[i];
        std::uint8_t cls = record[15] & 31;
        shapeDemoGround(p, z, cls);
        record[15] = static_cast<uint8_t>((record[15] & 0xE0) | cls);
        storeLe<int32_t>(record + 8, quantise(z, 0));
        if (const DemoRoof* roof = demoRoofAt(p)) putOnRoof(*roof, p, c, record);
        if (eightBit != src.eightBitColour) {
            for (int k = 0; k < 3; ++k) {
                const unsigned v = loadLe<uint16_t>(record + 28 + 2 * k);
                storeLe<uint16_t>(record + 28 + 2 * k, static_cast<uint16_t>(eightBit ? v >> 8 : v * 257));
            }
        }
        const size_t at = batch.size();
        batch.resize(at + h.recordLength);
        if (zone) toFormat7(record, batch.data() + at);
        else std::copy_n(record, 34, batch.data() + at);
        if (batch.size() == kBatch * h.recordLength) {
            status = writer.write(batch.data(), kBatch);
            batch.clear();
        }
    });
    if (status && !batch.empty()) status = writer.write(batch.data(), batch.size() / h.recordLength);
    const las::LasStatus closed = writer.close();
    if (!status || !closed) {
        std::error_code ec;
        fs::remove(part, ec);
        return {false, !status ? status.message : closed.message, {}};
    }
    std::error_code ec;
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        return {false, "Nie mozna zapisac kafla " + target, {}};
    }
    return {true, {}, target};
}

// Highest height above ground of the sample's points in each metre cell of
// the sample (layer 0, unshifted), rows from the south.
struct ObjectRaster {
    int cols = 0, rows = 0;
    std::vector<float> top;
};

const ObjectRaster& objectRaster() {
    static const ObjectRaster raster = [] {
        ObjectRaster r;
        const SourceCloud& src = sourceCloud();
        if (!src.ok) return r;
        r.cols = static_cast<int>(std::ceil(src.width));
        r.rows = static_cast<int>(std::ceil(src.height));
        r.top.assign(static_cast<size_t>(r.cols) * static_cast<size_t>(r.rows), 0.0f);
        for (size_t i = 0; i < src.size(); ++i) {
            const int c = std::min(static_cast<int>(src.dx[i]), r.cols - 1);
            const int row = std::min(static_cast<int>(src.dy[i]), r.rows - 1);
            float& top = r.top[static_cast<size_t>(row) * static_cast<size_t>(r.cols) + static_cast<size_t>(c)];
            top = std::max(top, src.aboveGround[i]);
        }
        return r;
    }();
    return raster;
}

std::mutex& mutexFor(const std::string& key) {
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<std::mutex>> mutexes;
    std::lock_guard lock(guard);
    auto& m = mutexes[key];
    if (!m) m = std::make_unique<std::mutex>();
    return *m;
}

}  // namespace

double demoObjectHeight(Xy p) {
    if (const auto deck = demoBridgeDeck(p)) return std::max(0.0, *deck - demoGroundHeight(p));
    if (const auto roof = demoRoofTop(p)) return std::max(0.0, *roof - demoGroundHeight(p));
    if (inDemoRiver(p)) return 0.0;  // the tiles hold only the water there
    const SourceCloud& src = sourceCloud();
    const ObjectRaster& raster = objectRaster();
    if (raster.top.empty()) return 0.0;
    const double dx = p.x - std::floor(p.x / src.width) * src.width;
    const double dy = p.y - std::floor(p.y / src.height) * src.height;
    const int c = std::clamp(static_cast<int>(dx), 0, raster.cols - 1);
    const int r = std::clamp(static_cast<int>(dy), 0, raster.rows - 1);
    return raster.top[static_cast<size_t>(r) * static_cast<size_t>(raster.cols) + static_cast<size_t>(c)];
}

std::string defaultLidarCacheDir() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    return (base / "kartolink-geoportal-lidar").string();
}

LidarTileFile lidarTileFile(const LidarParams& params, const LidarSheet& sheet, const std::string& cacheDir) {
    const std::string dir = cacheDir.empty() ? defaultLidarCacheDir() : cacheDir;
    std::string name = lidarTilePath(params, sheet).substr(demo::kLidarTilePathPrefix.size());
    std::replace(name.begin(), name.end(), '/', '_');
    // The name begins with the generator version, as the path does.
    const std::string target = (fs::path(dir) / name).string();
    std::lock_guard lock(mutexFor(target));
    std::error_code ec;
    if (fs::is_regular_file(target, ec) && fs::file_size(target, ec) > 0 && !ec) return {true, {}, target};
    fs::create_directories(dir, ec);
    if (ec) return {false, "Nie mozna utworzyc folderu " + dir, {}};
    return generate(params, sheet, target);
}

}  // namespace kl::geoportal
