#include "cloud/lidar/lidar_index.h"

#include "net/sheet_index_text.h"

namespace kl::cloud {

int epsgFromUkladXy(std::string_view text) {
    if (text.find("PL-1992") != std::string_view::npos) return 2180;
    if (text.find("PL-2000") == std::string_view::npos) return 0;
    const auto s = text.find('S');
    if (s == std::string_view::npos || s + 1 >= text.size()) return 0;
    const char d = text[s + 1];
    return d >= '5' && d <= '8' ? 2176 + (d - '5') : 0;
}

std::vector<LidarTile> parseLidarIndex(std::string_view answer) {
    std::vector<LidarTile> tiles;
    net::forEachIndexMember(answer, [&](const net::IndexMember& m) {
        LidarTile t;
        t.url = net::indexElementText(answer, m.urlTag, "url_do_pobrania", m.end);
        if (t.url.rfind("http", 0) != 0) return;
        // Each element is looked for inside its own record only: a record
        // without one must not borrow the next record's value.
        t.godlo = net::indexElementText(answer, m.start, "godlo", m.end);
        const auto density = net::indexElementText(answer, m.start, "char_przestrz", m.end);
        t.density = density.empty() ? 0.0 : net::leadingDecimal(density);
        t.epsg = epsgFromUkladXy(net::indexElementText(answer, m.start, "uklad_xy", m.end));
        tiles.push_back(std::move(t));
    });
    return tiles;
}

std::string lidarIndexTypeName(int year) { return "gugik:SkorowidzDanychPomiarowychLIDAR" + std::to_string(year); }

}  // namespace kl::cloud
