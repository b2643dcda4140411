#include "cloud/e57/e57_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "cloud/e57/e57_xml.h"
#include "cloud/e57/paged_file_writer.h"
#include "base/temporary_names.h"

namespace kl::e57 {
namespace {

constexpr uint64_t kFileHeaderSize = 48;
constexpr uint64_t kSectionHeaderSize = 32;
constexpr size_t kPacketHeaderSize = 6 + 12;

size_t packetLength(size_t n) {
    const size_t raw = kPacketHeaderSize + 15 * n;
    return (raw + 3) & ~size_t{3};
}

uint64_t packetsLength(size_t count) {
    const size_t full = count / kPointsPerPacket;
    const size_t rest = count % kPointsPerPacket;
    return full * packetLength(kPointsPerPacket) + (rest ? packetLength(rest) : 0);
}

template <typename T>
void putLe(uint8_t* p, T v) {
    for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
}

void putFloat(uint8_t* p, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    putLe(p, u);
}

CartesianBounds roundedBounds(const std::vector<cloud::CloudPoint>& pts) {
    CartesianBounds b;
    b.xMin = b.yMin = b.zMin = std::numeric_limits<double>::infinity();
    b.xMax = b.yMax = b.zMax = -std::numeric_limits<double>::infinity();
    for (const auto& p : pts) {
        const double x = static_cast<float>(p.x), y = static_cast<float>(p.y), z = static_cast<float>(p.z);
        b.xMin = std::min(b.xMin, x);
        b.xMax = std::max(b.xMax, x);
        b.yMin = std::min(b.yMin, y);
        b.yMax = std::max(b.yMax, y);
        b.zMin = std::min(b.zMin, z);
        b.zMax = std::max(b.zMax, z);
    }
    return b;
}

void writePacket(PagedFileWriter& out, const cloud::CloudPoint* pts, size_t n, std::vector<uint8_t>& buf) {
    const size_t len = packetLength(n);
    buf.assign(len, 0);
    uint8_t* p = buf.data();
    p[0] = 1;
    p[1] = 0;
    putLe(p + 2, static_cast<uint16_t>(len - 1));
    putLe(p + 4, uint16_t{6});
    const auto n4 = static_cast<uint16_t>(4 * n), n1 = static_cast<uint16_t>(n);
    const uint16_t lengths[6] = {n4, n4, n4, n1, n1, n1};
    for (int i = 0; i < 6; ++i) putLe(p + 6 + 2 * i, lengths[i]);
    uint8_t* xs = p + kPacketHeaderSize;
    uint8_t* ys = xs + 4 * n;
    uint8_t* zs = ys + 4 * n;
    uint8_t* rs = zs + 4 * n;
    uint8_t* gs = rs + n;
    uint8_t* bs = gs + n;
    for (size_t i = 0; i < n; ++i) {
        putFloat(xs + 4 * i, static_cast<float>(pts[i].x));
        putFloat(ys + 4 * i, static_cast<float>(pts[i].y));
        putFloat(zs + 4 * i, static_cast<float>(pts[i].z));
        rs[i] = pts[i].r;
        gs[i] = pts[i].g;
        bs[i] = pts[i].b;
    }
    out.write(p, len);
}

}  // namespace

bool writeE57(const std::string& path, const std::vector<cloud::CloudPoint>& points, std::string& error) {
    if (points.empty()) {
        error = "Brak punktow do zapisu.";
        return false;
    }
    const CartesianBounds bounds = roundedBounds(points);
    const std::string xml = buildE57Xml(points.size(), bounds, contentGuids(points));

    const uint64_t binaryLength = kSectionHeaderSize + packetsLength(points.size());
    const uint64_t logicalLength = kFileHeaderSize + binaryLength + xml.size();
    const uint64_t pages = (logicalLength + PagedFileWriter::kPayload - 1) / PagedFileWriter::kPayload;

    uint8_t header[kFileHeaderSize + kSectionHeaderSize] = {};
    std::memcpy(header, "ASTM-E57", 8);
    putLe(header + 8, uint32_t{1});
    putLe(header + 12, uint32_t{0});
    putLe(header + 16, pages * PagedFileWriter::kPageSize);
    putLe(header + 24, physicalOffset(kFileHeaderSize + binaryLength));
    putLe(header + 32, static_cast<uint64_t>(xml.size()));
    putLe(header + 40, uint64_t{PagedFileWriter::kPageSize});
    uint8_t* section = header + kFileHeaderSize;
    section[0] = 1;
    putLe(section + 8, binaryLength);
    putLe(section + 16, physicalOffset(kFileHeaderSize + kSectionHeaderSize));
    putLe(section + 24, uint64_t{0});

    const std::string tmp = platform::temporarySibling(path);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    PagedFileWriter out(f);
    out.write(header, sizeof header);
    std::vector<uint8_t> buf;
    for (size_t i = 0; i < points.size() && out.ok(); i += kPointsPerPacket)
        writePacket(out, points.data() + i, std::min(kPointsPerPacket, points.size() - i), buf);
    out.write(xml.data(), xml.size());
    out.finish();
    const bool closed = std::fclose(f) == 0;

    std::error_code ec;
    if (!out.ok() || !closed) {
        std::filesystem::remove(tmp, ec);
        error = "Blad zapisu pliku e57 (brak miejsca na dysku?).";
        return false;
    }
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    return true;
}

}  // namespace kl::e57
