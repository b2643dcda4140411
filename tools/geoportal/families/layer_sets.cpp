#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal::layers {

namespace {
const Rgba kNone{0, 0, 0, 0};
const Rgba kParcelLine{40, 40, 40, 255};
const Rgba kBuildingFill{236, 206, 160, 255};
const Rgba kBuildingLine{150, 70, 20, 255};
const Rgba kWater{0, 60, 230, 255};
const Rgba kGas{200, 160, 0, 255};
const Rgba kPower{230, 0, 0, 255};
const Rgba kSewer{130, 70, 30, 255};

struct Network {
    std::string_view layer;
    const char* title;
    Rgba colour;
};
const Network kNetworks[] = {{layer::kWater, "Przewody wodociagowe", kWater},
                             {layer::kGas, "Przewody gazowe", kGas},
                             {layer::kPower, "Przewody elektroenergetyczne", kPower},
                             {layer::kSewer, "Przewody kanalizacyjne", kSewer}};
}  // namespace

std::vector<WfsLayer> cadastreWfs() {
    // The archive layer comes first on purpose: clients must still pick the current one.
    return {{"ms:dzialki_archiwalne", "Dzialki archiwalne", std::string(layer::kArchivedParcels), true},
            {"ms:dzialki", "Dzialki ewidencyjne", std::string(layer::kParcels), true},
            {"ms:budynki", "Budynki", std::string(layer::kBuildings), true}};
}

std::vector<WmsLayer> cadastreWms() {
    return {{"dzialki", "Dzialki ewidencyjne", {{std::string(layer::kParcels), kNone, kParcelLine, 1}}, false},
            {"numery_dzialek", "Numery dzialek", {{std::string(layer::kParcels) + "#labels", kNone, kParcelLine, 1}}, false},
            {"budynki", "Budynki", {{std::string(layer::kBuildings), kBuildingFill, kBuildingLine, 1}}, false}};
}

std::vector<WfsLayer> utilitiesWfs() {
    std::vector<WfsLayer> out;
    // MapServer behind the national proxy sends no feature ids for these.
    for (const auto& n : kNetworks) out.push_back({"ms:" + std::string(n.layer), n.title, std::string(n.layer), false});
    return out;
}

std::vector<WmsLayer> utilitiesWms() {
    std::vector<WmsLayer> out;
    WmsLayer all{"gesut", "Siec uzbrojenia terenu", {}, false};
    for (const auto& n : kNetworks) {
        WmsLayer::Source s{std::string(n.layer), kNone, n.colour, 2};
        out.push_back({std::string(n.layer), n.title, {s}, false});
        all.sources.push_back(s);
    }
    out.insert(out.begin(), all);
    return out;
}

std::vector<WmsLayer> topographyWms() {
    return {{"bdot500_jezdnie", "BDOT500 jezdnie", {{kStreets, kNone, Rgba{170, 170, 170, 255}, 1, 10}}, false},
            {"bdot500_budynki", "BDOT500 budynki", {{std::string(layer::kBuildings), Rgba{250, 220, 200, 255}, Rgba{200, 40, 40, 255}, 1}}, false}};
}

}  // namespace kl::geoportal::layers
