#include "tools/geoportal/plan_acts.h"

#include "tools/geoportal/crs.h"
#include "tools/geoportal/text_util.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>

namespace kl::geoportal {
namespace {

constexpr const char* kGeneral = "MUNICIPAL_GENERAL_PLAN";
constexpr const char* kLocal = "LOCAL_SPATIAL_DEVELOPMENT_PLAN";
constexpr const char* kGeneralText = "plan ogólny gminy";
constexpr const char* kLocalText = "miejscowy plan zagospodarowania przestrzennego";
constexpr const char* kInForce = "prawnie wiążący lub realizowany";
constexpr const char* kAdopting = "w trakcie przyjmowania";
constexpr const char* kPreparing = "w opracowaniu";
constexpr const char* kExpired = "nieobowiązujący";
constexpr const char* kOutdated = "nieaktualny";
constexpr const char* kTown = "Bolesławiec (gmina miejska)";
constexpr const char* kRural = "Bolesławiec (gmina wiejska)";
constexpr const char* kDistrict = "bolesławiecki";
constexpr int kSiteEpsg = 2176;  // the PL-2000 zone of the site

const char* kCoordinateTags[] = {"<gml:posList", "<gml:pos", "<gml:lowerCorner", "<gml:upperCorner"};

std::vector<PlanAct> buildActs() {
    const std::string town(demo::kCommuneTeryt), rural(demo::kRuralCommuneTeryt);
    std::vector<PlanAct> acts = {
        {demo::kGeneralPlanInForceId, town, "Plan ogólny Gminy Miejskiej Bolesławiec", kGeneral, kGeneralText, kInForce,
         "2025-06-30", "2025-07-15", "", kTown, kDistrict, "pogplugin__1_strefy_StrefaPlanistyczna.gml",
         Xy{5483376.29, 5889244.96}},
        {demo::kGeneralPlanInPreparationId, town, "Projekt zmiany planu ogólnego Gminy Miejskiej Bolesławiec", kGeneral,
         kGeneralText, kPreparing, "2026-03-02", "", "", kTown, kDistrict,
         "pogplugin__2_strefy_StrefaPlanistyczna_OK.gml", std::nullopt},
        {demo::kGeneralPlanExpiredId, town, "Plan ogólny Gminy Miejskiej Bolesławiec (uchylony)", kGeneral, kGeneralText,
         kExpired, "2026-05-10", "2025-07-15", "2026-05-01", kTown, kDistrict,
         "pogplugin__2_strefy_StrefaPlanistyczna_OK.gml", std::nullopt},
        {5101, rural, "Plan ogólny Gminy Bolesławiec", kGeneral, kGeneralText, kAdopting, "2026-02-11", "", "", kRural,
         kDistrict, "", std::nullopt},
    };
    // Local plans, all published after the general plans: a first page of
    // ten acts of both types, newest first, holds none of the general plans.
    const char* statuses[] = {kInForce, kInForce, kOutdated, kAdopting};
    for (int i = 0; i < demo::kLocalPlanActs; ++i) {
        const std::string day = (i + 1 < 10 ? "0" : "") + formatInt(i + 1);
        acts.push_back({6001 + i, town, "Miejscowy plan zagospodarowania przestrzennego obszaru nr " + formatInt(i + 1),
                        kLocal, kLocalText, statuses[i % 4], "2026-07-" + day, "2026-08-" + day, "", kTown, kDistrict,
                        "", std::nullopt});
    }
    return acts;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every coordinate list of the document with its text range (northing first,
// as PL-2000 is written).
template <class Visit>
void forEachCoordinateList(const std::string& gml, Visit visit) {
    for (const char* tag : kCoordinateTags) {
        const std::string open(tag);
        for (std::size_t at = gml.find(open); at != std::string::npos; at = gml.find(open, at + 1)) {
            const char next = at + open.size() < gml.size() ? gml[at + open.size()] : '\0';
            if (next != ' ' && next != '>') continue;  // "<gml:pos" must not match "<gml:posList"
            const std::size_t start = gml.find('>', at);
            const std::size_t end = start == std::string::npos ? start : gml.find('<', start);
            if (end == std::string::npos) return;
            visit(start + 1, end);
        }
    }
}

std::vector<double> numbersIn(std::string_view text) {
    std::vector<double> out;
    const auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && blank(text[i])) ++i;
        std::size_t j = i;
        while (j < text.size() && !blank(text[j])) ++j;
        if (j > i)
            if (auto v = parseDouble(text.substr(i, j - i))) out.push_back(*v);
        i = j;
    }
    return out;
}

}  // namespace

const std::vector<PlanAct>& planActs() {
    static const std::vector<PlanAct> acts = buildActs();
    return acts;
}

const PlanAct* findPlanAct(long long id) {
    for (const PlanAct& a : planActs())
        if (a.id == id) return &a;
    return nullptr;
}

std::string actZonesGml(const PlanAct& act, const std::string& samplesDir) {
    if (act.zonesSample.empty()) return {};
    std::string gml = readFile(samplesDir + "/gml/" + act.zonesSample);
    if (gml.empty()) return {};
    Xy anchor;
    if (act.sampleAnchor) {
        anchor = *act.sampleAnchor;
    } else {
        Box box = Box::empty();
        forEachCoordinateList(gml, [&](std::size_t from, std::size_t to) {
            const std::vector<double> v = numbersIn(std::string_view(gml).substr(from, to - from));
            for (std::size_t i = 0; i + 1 < v.size(); i += 2) box.include({v[i + 1], v[i]});
        });
        anchor = {(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2};
    }
    const Box frame = DemoArea::instance().frame();
    const Xy centre = fromPl1992(kSiteEpsg, {(frame.minX + frame.maxX) / 2, (frame.minY + frame.maxY) / 2});
    const double dE = centre.x - anchor.x, dN = centre.y - anchor.y;

    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    forEachCoordinateList(gml, [&](std::size_t from, std::size_t to) { ranges.emplace_back(from, to); });
    std::sort(ranges.begin(), ranges.end());
    std::string moved;
    std::size_t copied = 0;
    for (const auto& [from, to] : ranges) {
        moved.append(gml, copied, from - copied);
        const std::vector<double> v = numbersIn(std::string_view(gml).substr(from, to - from));
        for (std::size_t i = 0; i < v.size(); ++i)
            moved += (i ? " " : "") + formatFixed(v[i] + (i % 2 == 0 ? dN : dE), 2);
        copied = to;
    }
    moved.append(gml, copied, std::string::npos);
    // Every sample is written in the site's zone once moved.
    for (const char* zone : {"EPSG/0/2177", "EPSG/0/2178", "EPSG/0/2179"})
        for (std::size_t at = moved.find(zone); at != std::string::npos; at = moved.find(zone, at))
            moved.replace(at, std::string_view(zone).size(), "EPSG/0/" + formatInt(kSiteEpsg));
    return moved;
}

}  // namespace kl::geoportal
