#include "tools/import/dxf_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <numbers>
#include <set>

namespace kl::tools {
namespace {

class Out {
public:
    void pair(int code, const std::string& value) {
        text_ += std::to_string(code);
        text_ += '\n';
        text_ += value;
        text_ += '\n';
    }
    void number(int code, double v) {
        // Room for the largest double in fixed notation: a far coordinate of
        // a user's grid is written whole, not cut off.
        char buf[std::numeric_limits<double>::max_exponent10 + 16];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
        pair(code, std::string(buf, r.ptr));
    }
    // corner 0 writes the codes 10, 20, 30; corner k the codes 10 + k, 20 + k, 30 + k
    void xyz(double x, double y, double z, int corner = 0) {
        number(10 + corner, x);
        number(20 + corner, y);
        number(30 + corner, z);
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

// Layer names as R12 takes them: no characters its table refuses.
std::string layerName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) out += (c < 0x21 || c >= 0x7f || std::string_view("<>/\\\":;?*|=,`").find(static_cast<char>(c)) != std::string_view::npos) ? '_' : static_cast<char>(c);
    return out.empty() ? "0" : out;
}

}  // namespace

std::string dxfText(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += (c < 0x20) ? ' ' : static_cast<char>(c);
            ++i;
            continue;
        }
        const int len = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
        unsigned cp = len == 1 ? 0xfffd : (c & (0x7f >> len));
        for (int k = 1; k < len && i + static_cast<std::size_t>(k) < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3f);
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", cp);
        out += buf;
        i += static_cast<std::size_t>(len);
    }
    return out;
}

std::string dxfDocument(const std::vector<DxfEntity>& entities) {
    Out o;
    o.pair(0, "SECTION");
    o.pair(2, "HEADER");
    o.pair(9, "$ACADVER");
    o.pair(1, "AC1009");
    o.pair(9, "$INSUNITS");
    o.pair(70, "6");  // metres
    o.pair(0, "ENDSEC");

    std::vector<std::string> layers;
    std::set<std::string> seen;
    for (const DxfEntity& e : entities)
        if (seen.insert(layerName(e.layer)).second) layers.push_back(layerName(e.layer));
    o.pair(0, "SECTION");
    o.pair(2, "TABLES");
    o.pair(0, "TABLE");
    o.pair(2, "LAYER");
    o.pair(70, std::to_string(layers.size()));
    for (const std::string& name : layers) {
        o.pair(0, "LAYER");
        o.pair(2, name);
        o.pair(70, "0");
        o.pair(62, "7");
        o.pair(6, "CONTINUOUS");
    }
    o.pair(0, "ENDTAB");
    o.pair(0, "ENDSEC");

    o.pair(0, "SECTION");
    o.pair(2, "ENTITIES");
    for (const DxfEntity& e : entities) {
        const std::string layer = layerName(e.layer);
        if (e.kind == DxfEntity::Kind::Text) {
            if (e.points.empty()) continue;
            o.pair(0, "TEXT");
            o.pair(8, layer);
            o.xyz(e.points[0].x, e.points[0].y, e.elevation);
            o.number(40, e.height);
            o.pair(1, dxfText(e.text));
            if (e.angle != 0.0) o.number(50, e.angle * 180.0 / std::numbers::pi);
            continue;
        }
        if (e.kind == DxfEntity::Kind::Face) {
            if (e.points.size() < 3 || e.heights.size() != e.points.size()) continue;
            o.pair(0, "3DFACE");
            o.pair(8, layer);
            // a triangle repeats its third corner as the fourth
            for (std::size_t k = 0; k < 4; ++k) {
                const std::size_t i = std::min(k, e.points.size() - 1);
                o.xyz(e.points[i].x, e.points[i].y, e.heights[i], static_cast<int>(k));
            }
            continue;
        }
        o.pair(0, "POLYLINE");
        o.pair(8, layer);
        o.pair(66, "1");
        o.xyz(0, 0, e.elevation);
        o.pair(70, e.closed ? "1" : "0");
        for (const geo::Point2d& p : e.points) {
            o.pair(0, "VERTEX");
            o.pair(8, layer);
            o.xyz(p.x, p.y, e.elevation);
        }
        o.pair(0, "SEQEND");
        o.pair(8, layer);
    }
    o.pair(0, "ENDSEC");
    o.pair(0, "EOF");
    return o.take();
}

}  // namespace kl::tools
