#include "tests/e57/e57_read_back.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>

#include "cloud/e57/crc32c.h"
#include "tests/support/command_output.h"

namespace {
template <typename T>
T le(const std::string& s, size_t at) {  // the tests run on little-endian machines only
    T v;
    return std::memcpy(&v, s.data() + at, sizeof v), v;
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
    const uint64_t xmlAt = toLogical(le<uint64_t>(logical, 24)), xmlLength = le<uint64_t>(logical, 32);
    if (le<uint64_t>(logical, 16) != file.size()) return rb.error = "physical length", rb;
    if (le<uint64_t>(logical, 40) != 1024) return rb.error = "page size", rb;
    if (xmlAt + xmlLength > logical.size()) return rb.error = "xml outside file", rb;
    rb.xml = logical.substr(xmlAt, xmlLength);
    rb.ok = true;
    return rb;
}

bool readE57Points(const std::string& path, std::vector<E57Point>* points) {
    const auto web = kl::test::runCommand("node " KL_SOURCE_DIR "/tests/e57/web_e57_xyz.mjs '" + path + "'");
    std::istringstream lines(web.out);
    lines.imbue(std::locale::classic());
    points->clear();
    double x, y, z;
    int r, g, b;
    while (lines >> x >> y >> z >> r >> g >> b)
        points->push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), r, g, b});
    return web.status == 0 && lines.eof();
}
