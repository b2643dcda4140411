#include "placement/zone_symbology.h"

#include <array>
#include <string>

namespace kl::placement {
namespace {

struct ZoneColour {
    const char* code;
    Rgb rgb;
};

constexpr std::array<ZoneColour, 13> kZoneColours{{
    {"SW", {140, 123, 107}}, {"SJ", {201, 162, 75}},  {"SZ", {228, 206, 140}}, {"SU", {232, 138, 125}},
    {"SH", {231, 158, 196}}, {"SP", {180, 157, 212}}, {"SR", {242, 232, 76}},  {"SI", {204, 204, 204}},
    {"SN", {183, 217, 143}}, {"SC", {169, 198, 174}}, {"SG", {232, 196, 220}}, {"SO", {220, 233, 192}},
    {"SK", {244, 244, 244}},
}};

constexpr int32_t kSpecialPen = 8;
constexpr Rgb kSpecialGrey{90, 90, 90};

bool isCapital(char c) { return c >= 'A' && c <= 'Z'; }

std::string property(const geo::GisFeature& f, const char* key) {
    auto it = f.attributes.find(key);
    return it == f.attributes.end() ? std::string() : it->second;
}

Points transformed(const geo::Ring& ring, const PlacementTransform& t, const std::function<void(geo::Point2d)>& widen) {
    Points out;
    out.reserve(ring.size());
    for (const auto& p : ring) {
        out.push_back(t.apply(p));
        widen(out.back());
    }
    return out;
}

}  // namespace

std::optional<Rgb> zoneColour(std::string_view symbol) {
    std::string s(symbol);
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const auto& row : kZoneColours) {
        const auto at = s.find(row.code);
        if (at == std::string::npos) continue;
        const bool before = at > 0 && isCapital(s[at - 1]);
        const bool after = at + 2 < s.size() && isCapital(s[at + 2]);
        if (!before && !after) return row.rgb;
    }
    return std::nullopt;
}

KlErr drawZoningFeature(const geo::GisFeature& f, const PlacementTransform& t, int32_t layer, FillPatterns& fills,
                        const std::function<void(geo::Point2d)>& widen) {
    const bool general = f.type == geo::DataType::GeneralPlans;
    const int32_t pen = general ? 32 : 30;
    std::string symbol = property(f, "symbol");
    std::string designation = f.attributes.count("oznaczenie") ? property(f, "oznaczenie") : symbol;
    if (symbol.empty()) symbol = designation;
    const std::string cls = property(f, "_typ");

    enum class Special { None, VerticalHatch, DiagonalHatch, Outline };
    Special special = Special::None;
    if (general) {
        if (cls == "ObszarUzupelnieniaZabudowy") special = Special::VerticalHatch;
        else if (cls == "ObszarStandardowDostepnosciInfrastrukturySpolecznej") special = Special::DiagonalHatch;
        else if (cls == "ObszarZabudowySrodmiejskiej") special = Special::Outline;
    }
    Rgb colour;
    if (general && special == Special::None && !symbol.empty()) {
        if (auto c = zoneColour(symbol)) colour = *c;
    }

    for (const auto& poly : f.polygons) {
        const Points outer = transformed(poly.exterior, t, widen);
        KlErr err = KL_NOERROR;
        if (special == Special::Outline) {
            err = makePolyline(closedRing(outer), layer, kSpecialPen);
        } else {
            std::vector<Points> holes;
            for (const auto& h : poly.holes) holes.push_back(transformed(h, t, widen));
            if (special == Special::VerticalHatch) err = makeNamedHatch(fills, outer, holes, layer, kSpecialPen, "pion", kSpecialGrey);
            else if (special == Special::DiagonalHatch) err = makeNamedHatch(fills, outer, holes, layer, kSpecialPen, "ukos", kSpecialGrey);
            else err = makeSolidFill(fills, outer, holes, layer, pen, colour);
        }
        if (err != KL_NOERROR) return err;
    }
    if (f.hasPoint && !designation.empty()) return makeText(t.apply(f.point), designation, layer, pen, 2.5);
    return KL_NOERROR;
}

}  // namespace kl::placement
