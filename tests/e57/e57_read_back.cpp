#include "tests/e57/e57_read_back.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "cloud/e57/crc32c.h"

namespace {
template <typename T>
T le(const std::string& s, size_t at) {
    T v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<uint64_t>(static_cast<uint8_t>(s[at + i])) << (8 * i));
    return v;
}
uint64_t toLogical(uint64_t phys) { return phys / 1024 * 1020 + std::min<uint64_t>(phys % 1024, 1020); }
}  // namespace

E57ReadBack readE57(const std::string& path) {
    E57ReadBack rb;
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 1024 || file.size() % 1024) return rb.error = "size not a multiple of 1024", rb;
    std::string logical;
    for (size_t p = 0; p < file.size(); p += 1024) {
        const auto* page = reinterpret_cast<const uint8_t*>(file.data() + p);
        const uint32_t stored = uint32_t(page[1020]) << 24 | uint32_t(page[1021]) << 16 | uint32_t(page[1022]) << 8 | page[1023];
        if (kl::e57::crc32c(page, 1020) != stored) return rb.error = "checksum mismatch on page " + std::to_string(p / 1024), rb;
        logical.append(file, p, 1020);
    }
    if (logical.compare(0, 8, "ASTM-E57") != 0) return rb.error = "signature", rb;
    if (le<uint32_t>(logical, 8) != 1 || le<uint32_t>(logical, 12) != 0) return rb.error = "version", rb;
    rb.physicalLength = le<uint64_t>(logical, 16);
    rb.xmlPhysicalOffset = le<uint64_t>(logical, 24);
    rb.xmlLogicalLength = le<uint64_t>(logical, 32);
    if (rb.physicalLength != file.size()) return rb.error = "physical length", rb;
    if (le<uint64_t>(logical, 40) != 1024) return rb.error = "page size", rb;
    const uint64_t xmlAt = toLogical(rb.xmlPhysicalOffset);
    if (xmlAt + rb.xmlLogicalLength > logical.size()) return rb.error = "xml outside file", rb;
    rb.xml = logical.substr(xmlAt, rb.xmlLogicalLength);

    if (static_cast<uint8_t>(logical[48]) != 1) return rb.error = "section id", rb;
    for (int i = 49; i < 56; ++i)
        if (logical[i] != 0) return rb.error = "section reserved", rb;
    rb.sectionLogicalLength = le<uint64_t>(logical, 56);
    rb.dataPhysicalOffset = le<uint64_t>(logical, 64);
    if (rb.sectionLogicalLength % 4) return rb.error = "section length", rb;
    size_t at = toLogical(rb.dataPhysicalOffset);
    const size_t end = 48 + rb.sectionLogicalLength;
    while (at < end) {
        if (static_cast<uint8_t>(logical[at]) != 1) return rb.error = "packet type", rb;
        const size_t len = size_t(le<uint16_t>(logical, at + 2)) + 1;
        if (len % 4 || len > 65536 || at + len > end) return rb.error = "packet length", rb;
        if (le<uint16_t>(logical, at + 4) != 6) return rb.error = "bytestream count", rb;
        size_t lens[6], sum = 0;
        for (int i = 0; i < 6; ++i) sum += lens[i] = le<uint16_t>(logical, at + 6 + 2 * i);
        if (18 + sum > len) return rb.error = "buffers exceed packet", rb;
        const size_t n = lens[3];
        if (lens[0] != 4 * n || lens[1] != 4 * n || lens[2] != 4 * n || lens[4] != n || lens[5] != n)
            return rb.error = "uneven buffers", rb;
        for (size_t i = at + 18 + sum; i < at + len; ++i)
            if (logical[i] != 0) return rb.error = "padding not zero", rb;
        const char* p = logical.data() + at + 18;
        for (size_t i = 0; i < n; ++i) {
            float f[3];
            for (int k = 0; k < 3; ++k) std::memcpy(&f[k], p + k * 4 * n + 4 * i, 4);
            rb.x.push_back(f[0]);
            rb.y.push_back(f[1]);
            rb.z.push_back(f[2]);
            rb.r.push_back(static_cast<uint8_t>(p[12 * n + i]));
            rb.g.push_back(static_cast<uint8_t>(p[13 * n + i]));
            rb.b.push_back(static_cast<uint8_t>(p[14 * n + i]));
        }
        rb.packetPoints.push_back(n);
        rb.packetLengths.push_back(len);
        at += len;
    }
    rb.ok = true;
    return rb;
}
