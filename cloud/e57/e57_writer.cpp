#include "cloud/e57/e57_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

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

}  // namespace

E57StreamWriter::E57StreamWriter() {
    const double inf = std::numeric_limits<double>::infinity();
    bounds_ = {inf, -inf, inf, -inf, inf, -inf};
}

E57StreamWriter::~E57StreamWriter() { discard(); }

void E57StreamWriter::discard() {
    out_.reset();
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}

bool E57StreamWriter::open(const std::string& path, std::string& error) {
    path_ = path;
    temporary_ = platform::temporarySibling(path);
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (!file_) {
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    out_ = std::make_unique<PagedFileWriter>(file_);
    // Room for the headers, filled in by finish.
    const uint8_t headers[kFileHeaderSize + kSectionHeaderSize] = {};
    out_->write(headers, sizeof headers);
    return true;
}

void E57StreamWriter::append(const cloud::CloudPoint* points, size_t count) {
    // After a failed write nothing more reaches the file; finish says so.
    if (!out_ || !out_->ok()) return;
    if (!pending_.empty()) {
        const size_t taken = std::min(count, kPointsPerPacket - pending_.size());
        pending_.insert(pending_.end(), points, points + taken);
        points += taken;
        count -= taken;
        if (pending_.size() < kPointsPerPacket) return;
        writePacket(pending_.data(), pending_.size());
        pending_.clear();
    }
    for (; count >= kPointsPerPacket; points += kPointsPerPacket, count -= kPointsPerPacket)
        writePacket(points, kPointsPerPacket);
    pending_.assign(points, points + count);
}

void E57StreamWriter::writePacket(const cloud::CloudPoint* pts, size_t n) {
    const size_t len = packetLength(n);
    packet_.assign(len, 0);
    uint8_t* p = packet_.data();
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
        const auto x = static_cast<float>(pts[i].x), y = static_cast<float>(pts[i].y), z = static_cast<float>(pts[i].z);
        putFloat(xs + 4 * i, x);
        putFloat(ys + 4 * i, y);
        putFloat(zs + 4 * i, z);
        rs[i] = pts[i].r;
        gs[i] = pts[i].g;
        bs[i] = pts[i].b;
        // The bounds the file states are those of the coordinates it stores.
        bounds_.xMin = std::min<double>(bounds_.xMin, x);
        bounds_.xMax = std::max<double>(bounds_.xMax, x);
        bounds_.yMin = std::min<double>(bounds_.yMin, y);
        bounds_.yMax = std::max<double>(bounds_.yMax, y);
        bounds_.zMin = std::min<double>(bounds_.zMin, z);
        bounds_.zMax = std::max<double>(bounds_.zMax, z);
    }
    count_ += n;
    out_->write(p, len);
}

void E57StreamWriter::settle() {
    if (out_) out_->flushToDisk();
}

bool E57StreamWriter::finish(const E57Guids& guids, std::string& error) {
    if (!out_) {
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    if (!pending_.empty()) writePacket(pending_.data(), pending_.size());
    pending_.clear();
    if (count_ == 0) {
        discard();
        error = "Brak punktow do zapisu.";
        return false;
    }
    const std::string xml = buildE57Xml(count_, bounds_, guids);
    const uint64_t binaryLength = kSectionHeaderSize + packetsLength(count_);
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

    out_->write(xml.data(), xml.size());
    out_->rewriteStart(header, sizeof header);
    out_->finish();
    const bool written = out_->ok();
    out_.reset();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;

    std::error_code ec;
    if (!written || !closed) {
        std::filesystem::remove(temporary_, ec);
        error = "Blad zapisu pliku e57 (brak miejsca na dysku?).";
        return false;
    }
    std::filesystem::rename(temporary_, path_, ec);
    if (ec) {
        std::filesystem::remove(temporary_, ec);
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    return true;
}

bool writeE57(const std::string& path, const std::vector<cloud::CloudPoint>& points, std::string& error) {
    if (points.empty()) {
        error = "Brak punktow do zapisu.";
        return false;
    }
    E57StreamWriter writer;
    if (!writer.open(path, error)) return false;
    writer.append(points.data(), points.size());
    return writer.finish(contentGuids(points), error);
}

}  // namespace kl::e57
