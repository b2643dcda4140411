#include "tools/geoportal/demo_area.h"

#include "tools/geoportal/geometry.h"
#include "tools/geoportal/sample_building.h"
#include "tools/geoportal/text_util.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#ifndef KL_SAMPLES_DIR
#define KL_SAMPLES_DIR ""
#endif

namespace kl::geoportal {

void Box::include(const Xy& p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
}

Box Box::empty() {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return {inf, inf, -inf, -inf};
}

std::string DemoFeature::property(std::string_view key) const {
    for (const auto& [k, v] : properties)
        if (k == key) return v;
    return {};
}

namespace {

// splitmix64: tiny, fully specified, so the site is the same on every platform.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
    }
    bool chance(double p) { return uniform(0, 1) < p; }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state_;
};

constexpr double kStreetHalfWidth = 6.0;
// Utility mains run parallel to the street centre line at these offsets.
constexpr double kWaterOffset = -3.0, kGasOffset = 3.0, kPowerOffset = 5.0, kSewerOffset = 0.0;
// Street centre lines, metres from the south-west corner of the frame.
constexpr std::array<double, 5> kAvenues = {20, 180, 340, 470, 620};  // running north-south
constexpr std::array<double, 4> kRoads = {20, 160, 300, 420};         // running east-west
constexpr std::array<const char*, 5> kAvenueNames = {"Zgorzelecka", "Prusa", "Sierpnia 1980", "Mickiewicza",
                                                      "Kosciuszki"};
constexpr std::array<const char*, 4> kRoadNames = {"Kubika", "Asnyka", "Jana Pawla II", "Grunwaldzka"};

// The square that the real county building sample stands on (block 1/1).
constexpr double kSquareFrom = 246, kSquareTo = 296;
constexpr int kSquareBlockI = 1, kSquareBlockJ = 1;
constexpr const char* kSquareParcelNumber = "522";
// Block of town houses with courtyards (next to the market square).
constexpr int kTenementBlockI = 2, kTenementBlockJ = 1;

Xy at(double u, double v) { return {demo::kMinEasting + u, demo::kMinNorthing + v}; }

std::vector<Xy> rectRing(double u0, double v0, double u1, double v1) {
    return closed({at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)}, true);
}

std::string areaHectares(const std::vector<Xy>& ring) { return formatFixed(std::fabs(signedArea(ring)) / 10000.0, 4); }

// A lot in local coordinates: s runs along the street, t from the street line inwards.
struct Lot {
    double s0, s1;   // along the street (u)
    double front;    // v of the street line
    double dir;      // +1 when the lot lies north of its street, -1 when south
    double depth;    // lot depth
    double streetV;  // centre line of the fronting street
    Xy map(double s, double t) const { return at(s, front + dir * t); }
};

struct SiteBuilder {
    Rng rng{20250602};
    DemoLayer parcels{std::string(layer::kParcels), {}};
    DemoLayer buildings{std::string(layer::kBuildings), {}};
    DemoLayer newBuildings{std::string(layer::kNewBuildings), {}};
    DemoLayer water{std::string(layer::kWater), {}};
    DemoLayer gas{std::string(layer::kGas), {}};
    DemoLayer power{std::string(layer::kPower), {}};
    DemoLayer sewer{std::string(layer::kSewer), {}};
    DemoLayer zones{std::string(layer::kPlanZones), {}};
    int nextParcelNumber = 101;
    int nextNewBuilding = 1;
    std::vector<DemoFeature> sampleBuildings;

    std::string parcelId(const std::string& number) const {
        return std::string(demo::kCommuneTeryt.substr(0, 6)) + "_" + std::string(demo::kCommuneTeryt.substr(6)) + "." +
               std::string(demo::kPrecinct) + "." + number;
    }

    void addParcel(const std::string& number, std::vector<Xy> ring) {
        std::string id = parcelId(number);
        auto f = polygonFeature("dzialki." + formatInt(static_cast<long long>(parcels.features.size() + 1)), {ring},
                                {{"ID_DZIALKI", id},
                                 {"NUMER_DZIALKI", number},
                                 {"NUMER_OBREBU", std::string(demo::kPrecinct)},
                                 {"NAZWA_OBREBU", "Boleslawiec 9"},
                                 {"NAZWA_GMINY", "Boleslawiec"},
                                 {"POLE_EWIDENCYJNE", areaHectares(closed(ring, true))}});
        parcels.features.push_back(std::move(f));
    }

    void addBuilding(const std::string& id, std::vector<std::vector<Xy>> rings, const char* kind, int storeys,
                     const char* function) {
        auto f = polygonFeature("budynki." + formatInt(static_cast<long long>(buildings.features.size() + 1)),
                                std::move(rings),
                                {{"ID_BUDYNKU", id},
                                 {"RODZAJ", kind},
                                 {"KONDYGNACJE_NADZIEMNE", formatInt(storeys)},
                                 {"FUNKCJA", function}});
        buildings.features.push_back(std::move(f));
    }

    static void addPipe(DemoLayer& net, const char* prefix, const char* kindText, const char* function, Xy from, Xy to,
                        const char* material, const char* diameter) {
        net.features.push_back(lineFeature(
            {from, to}, {{"ID_PRZEWODU", std::string(prefix) + formatInt(static_cast<long long>(net.features.size() + 1))},
                         {"RODZAJ_SIECI", kindText},
                         {"FUNKCJA", function},
                         {"MATERIAL", material},
                         {"SREDNICA", diameter},
                         {"STATUS", "istniejacy"}}));
    }

    void addConnection(DemoLayer& net, const char* prefix, const char* kindText, double s, const Lot& lot,
                       double mainOffset, double reachT, const char* material, const char* diameter) {
        addPipe(net, prefix, kindText, "przylacze", at(s, lot.streetV + mainOffset), lot.map(s, reachT), material, diameter);
    }

    void buildOnLot(const Lot& lot, const std::string& number, bool tenementBlock) {
        const double roll = rng.uniform(0, 1);
        const double margin = rng.uniform(1.5, 3.0);
        const double setback = tenementBlock ? 0.5 : rng.uniform(3.0, 6.0);
        const double depth = tenementBlock ? rng.uniform(19, 23) : rng.uniform(9, 13);
        const double x0 = lot.s0 + (tenementBlock ? 0.3 : margin);
        const double x1 = lot.s1 - (tenementBlock ? 0.3 : margin);
        const bool lShape = !tenementBlock && rng.chance(0.25);
        const double wingDepth = rng.uniform(4, 7);
        const bool outbuilding = rng.chance(0.35);
        const bool gasConnection = rng.chance(0.5);
        const double tapShift = rng.uniform(-3, 3);
        const int storeys = tenementBlock ? 4 : 1 + rng.below(2);
        if (x1 - x0 < 7) return;  // too narrow to build on

        bool hasBuilding = false;
        if (roll < 0.80) {
            std::vector<std::vector<Xy>> rings;
            const double t0 = setback, t1 = setback + depth;
            if (tenementBlock && x1 - x0 >= 15) {
                rings.push_back({lot.map(x0, t0), lot.map(x1, t0), lot.map(x1, t1), lot.map(x0, t1)});
                rings.push_back({lot.map(x0 + 5, t0 + 5), lot.map(x0 + 5, t1 - 4.5), lot.map(x1 - 5, t1 - 4.5),
                                 lot.map(x1 - 5, t0 + 5)});
            } else if (lShape) {
                const double xw = x0 + (x1 - x0) * 0.45;
                rings.push_back({lot.map(x0, t0), lot.map(x1, t0), lot.map(x1, t1), lot.map(xw, t1),
                                 lot.map(xw, t1 + wingDepth), lot.map(x0, t1 + wingDepth)});
            } else {
                rings.push_back({lot.map(x0, t0), lot.map(x1, t0), lot.map(x1, t1), lot.map(x0, t1)});
            }
            addBuilding(parcelId(number) + "_BUD", std::move(rings), tenementBlock ? "h" : "m", storeys,
                        tenementBlock ? "budynek mieszkalno-uslugowy" : "budynek mieszkalny jednorodzinny");
            if (outbuilding && lot.depth > 30) {
                const double tb = lot.depth - 8;
                addBuilding(parcelId(number) + "_BUD.2",
                            {{lot.map(x1 - 5, tb), lot.map(x1, tb), lot.map(x1, tb + 6), lot.map(x1 - 5, tb + 6)}}, "g",
                            1, "budynek gospodarczy");
            }
            hasBuilding = true;
        } else if (roll < 0.92) {
            // Built recently: only the national new-buildings layer knows it.
            const double t0 = setback, t1 = setback + depth;
            auto f = polygonFeature(
                "bud_2025." + formatInt(nextNewBuilding),
                {{lot.map(x0, t0), lot.map(x1, t0), lot.map(x1, t1), lot.map(x0, t1)}},
                {{"lokalnyId", "8c1f0d2e-2025-4a00-9000-" + formatInt(100000000000LL + nextNewBuilding)},
                 {"funOgolnaBudynku", "budynki mieszkalne"},
                 {"liczbaKondygnacji", formatInt(storeys)},
                 {"kodKst", "1110"}});
            ++nextNewBuilding;
            newBuildings.features.push_back(std::move(f));
            hasBuilding = true;
        }
        if (!hasBuilding) return;
        const double centre = (x0 + x1) / 2 + tapShift;
        addConnection(water, "W/", "wodociagowa", centre, lot, kWaterOffset, setback, "PE", "32");
        if (gasConnection) addConnection(gas, "G/", "gazowa", centre + 2.0, lot, kGasOffset, setback, "PE", "25");
    }

    void cutRow(double a, double b, double front, double dir, double depth, double streetV, bool tenementBlock) {
        double s = a;
        while (b - s > 0.01) {
            double w = rng.uniform(15, 27);
            if (b - (s + w) < 12) w = b - s;
            Lot lot{s, s + w, front, dir, depth, streetV};
            std::string number = formatInt(nextParcelNumber++);
            if (rng.chance(0.15)) number += "/" + formatInt(1 + rng.below(4));
            addParcel(number, {lot.map(lot.s0, 0), lot.map(lot.s1, 0), lot.map(lot.s1, depth), lot.map(lot.s0, depth)});
            buildOnLot(lot, number, tenementBlock);
            s += w;
        }
    }

    void buildBlocks() {
        for (size_t j = 0; j + 1 < kRoads.size(); ++j) {
            for (size_t i = 0; i + 1 < kAvenues.size(); ++i) {
                const double u0 = kAvenues[i] + kStreetHalfWidth, u1 = kAvenues[i + 1] - kStreetHalfWidth;
                const double v0 = kRoads[j] + kStreetHalfWidth, v1 = kRoads[j + 1] - kStreetHalfWidth;
                const double vm = (v0 + v1) / 2;
                const bool tenement = i == kTenementBlockI && j == kTenementBlockJ;
                const bool square = i == kSquareBlockI && j == kSquareBlockJ;
                const std::string symbol = tenement ? "MW/U" : square ? "U" : "MN";
                zones.features.push_back(polygonFeature(
                    "strefy." + formatInt(static_cast<long long>(zones.features.size() + 1)), {rectRing(u0, v0, u1, v1)},
                    {{"OZNACZENIE", formatInt(static_cast<long long>(zones.features.size() + 1)) + symbol},
                     {"SYMBOL", symbol}}));
                std::vector<std::pair<double, double>> spans = {{u0, u1}};
                if (square) {
                    spans = {{u0, kSquareFrom}, {kSquareTo, u1}};
                    addParcel(kSquareParcelNumber, rectRing(kSquareFrom, v0, kSquareTo, v1));
                    for (auto& b : sampleBuildings) buildings.features.push_back(b);
                }
                for (auto [a, b] : spans) {
                    cutRow(a, b, v0, +1, vm - v0, kRoads[j], tenement);      // facing the southern street
                    cutRow(a, b, v1, -1, v1 - vm, kRoads[j + 1], tenement);  // facing the northern street
                }
            }
        }
    }

    void buildRoadParcels() {
        int number = 900;
        const double h = kStreetHalfWidth;
        for (double v : kRoads)
            addParcel(formatInt(number++), rectRing(kAvenues.front() - h, v - h, kAvenues.back() + h, v + h));
        for (double u : kAvenues)
            for (size_t j = 0; j + 1 < kRoads.size(); ++j)
                addParcel(formatInt(number++), rectRing(u - h, kRoads[j] + h, u + h, kRoads[j + 1] - h));
    }

    void addMains(DemoLayer& net, const char* prefix, const char* kindText, double offset, const char* material,
                  const char* diameter) {
        auto add = [&](Xy a, Xy b) { addPipe(net, prefix, kindText, "rozdzielczy", a, b, material, diameter); };
        for (double v : kRoads)
            for (size_t i = 0; i + 1 < kAvenues.size(); ++i) add(at(kAvenues[i], v + offset), at(kAvenues[i + 1], v + offset));
        for (double u : kAvenues)
            for (size_t j = 0; j + 1 < kRoads.size(); ++j) add(at(u + offset, kRoads[j]), at(u + offset, kRoads[j + 1]));
    }
};

std::vector<Xy> wobblyRing(Rng& rng, Xy centre, double radius, int vertices, double jitter) {
    std::vector<Xy> ring;
    for (int k = 0; k < vertices; ++k) {
        const double angle = 2 * M_PI * k / vertices;
        const double r = radius * (1 + rng.uniform(-jitter, jitter));
        ring.push_back({centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
    }
    return closed(ring, true);
}

std::vector<DemoLayer> boundaryLayers() {
    Rng rng{19990101};
    const Xy town{260761, 382901};
    auto townRing = wobblyRing(rng, town, 2600, 36, 0.15);
    auto ruralRing = wobblyRing(rng, {town.x + 800, town.y - 500}, 11000, 40, 0.15);
    auto voivodeshipRing = wobblyRing(rng, {290000, 370000}, 80000, 48, 0.10);
    std::vector<Xy> hole(townRing.rbegin(), townRing.rend());

    DemoLayer communes{std::string(layer::kCommunes), {}};
    communes.features.push_back(polygonFeature(
        "", {townRing}, {{"JPT_SJR_KO", "GM"}, {"JPT_KOD_JE", std::string(demo::kCommuneTeryt)}, {"JPT_NAZWA_", "Boleslawiec"}}));
    communes.features.push_back(polygonFeature("", {ruralRing, hole},
                                               {{"JPT_SJR_KO", "GW"},
                                                {"JPT_KOD_JE", std::string(demo::kRuralCommuneTeryt)},
                                                {"JPT_NAZWA_", "Boleslawiec"}}));
    DemoLayer counties{std::string(layer::kCounties), {}};
    counties.features.push_back(polygonFeature(
        "", {ruralRing},
        {{"JPT_SJR_KO", "POW"}, {"JPT_KOD_JE", std::string(demo::kCountyTeryt)}, {"JPT_NAZWA_", "powiat boleslawiecki"}}));
    DemoLayer voivodeships{std::string(layer::kVoivodeships), {}};
    voivodeships.features.push_back(polygonFeature(
        "", {voivodeshipRing},
        {{"JPT_SJR_KO", "WOJ"}, {"JPT_KOD_JE", std::string(demo::kVoivodeshipTeryt)}, {"JPT_NAZWA_", "dolnoslaskie"}}));
    return {communes, counties, voivodeships};
}

}  // namespace

DemoArea DemoArea::generate(const std::string& samplesDir) {
    SiteBuilder site;
    site.sampleBuildings = loadSampleBuildings(samplesDir);
    site.buildBlocks();
    site.buildRoadParcels();
    site.addMains(site.water, "W/", "wodociagowa", kWaterOffset, "PE", "110");
    site.addMains(site.gas, "G/", "gazowa", kGasOffset, "PE", "90");
    site.addMains(site.power, "E/", "elektroenergetyczna", kPowerOffset, "kabel nN", "");
    site.addMains(site.sewer, "K/", "kanalizacyjna", kSewerOffset, "PVC", "300");

    DemoArea area;
    area.layers_ = {site.parcels, DemoLayer{std::string(layer::kArchivedParcels), {}}, site.buildings,
                    site.newBuildings, site.water, site.gas, site.power, site.sewer, site.zones};
    for (auto& l : boundaryLayers()) area.layers_.push_back(std::move(l));
    const double h = kStreetHalfWidth;
    for (size_t k = 0; k < kRoads.size(); ++k)
        area.streets_.push_back({kRoadNames[k], at(kAvenues.front() - h, kRoads[k]), at(kAvenues.back() + h, kRoads[k])});
    for (size_t k = 0; k < kAvenues.size(); ++k)
        area.streets_.push_back({kAvenueNames[k], at(kAvenues[k], kRoads.front() - h), at(kAvenues[k], kRoads.back() + h)});
    return area;
}

std::string samplesDir() {
    // The build's samples folder, unless the environment names another one.
    const char* override = std::getenv("KL_SAMPLES_DIR");
    return override && *override ? override : KL_SAMPLES_DIR;
}

const DemoArea& DemoArea::instance() {
    static const DemoArea area = generate(samplesDir());
    return area;
}

const DemoLayer* DemoArea::layer(std::string_view name) const {
    for (const auto& l : layers_)
        if (l.name == name) return &l;
    return nullptr;
}

std::string DemoArea::describeJson() const {
    std::string out = "{\"town\":\"Boleslawiec\",\"epsg\":2180,\"framePl1992\":[";
    out += formatFixed(demo::kMinEasting, 1) + "," + formatFixed(demo::kMinNorthing, 1) + "," +
           formatFixed(demo::kMaxEasting, 1) + "," + formatFixed(demo::kMaxNorthing, 1) + "],\"frameWgs84\":[";
    out += formatFixed(demo::kWest, 5) + "," + formatFixed(demo::kSouth, 5) + "," + formatFixed(demo::kEast, 5) + "," +
           formatFixed(demo::kNorth, 5) + "],";
    out += "\"teryt\":{\"voivodeship\":\"" + std::string(demo::kVoivodeshipTeryt) + "\",\"county\":\"" +
           std::string(demo::kCountyTeryt) + "\",\"commune\":\"" + std::string(demo::kCommuneTeryt) +
           "\",\"ruralCommune\":\"" + std::string(demo::kRuralCommuneTeryt) + "\"},\"counts\":{";
    bool first = true;
    for (const auto& l : layers_) {
        if (!first) out += ",";
        first = false;
        out += "\"" + l.name + "\":" + formatInt(static_cast<long long>(l.features.size()));
    }
    out += "}}";
    return out;
}

}  // namespace kl::geoportal
