#pragma once
// The demo site served by the local geoportal: a few streets of the old town of
// Boleslawiec (Lower Silesia), laid out deterministically so that tests can
// expect exact counts. Everything is held in PL-1992 (EPSG:2180), easting first.

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kl::geoportal {

namespace demo {
// Frame of the site in PL-1992 metres; every demo feature lies inside it.
inline constexpr double kMinEasting = 260400.0;
inline constexpr double kMinNorthing = 382640.0;
inline constexpr double kMaxEasting = 261040.0;
inline constexpr double kMaxNorthing = 383080.0;

// WGS84 box (west, south, east, north) through the mid-points of the frame's
// edges, as the map page would send it. Its four corners converted back give a
// PL-1992 box that covers the frame (the grid is turned by the meridian
// convergence) and is still 2 x 1 tiles of 500 m.
inline constexpr double kWest = 15.56456;
inline constexpr double kSouth = 51.26013;
inline constexpr double kEast = 15.57373;
inline constexpr double kNorth = 51.26409;

inline constexpr std::string_view kVoivodeshipTeryt = "02";
inline constexpr std::string_view kCountyTeryt = "0201";
inline constexpr std::string_view kCommuneTeryt = "0201011";       // town commune
inline constexpr std::string_view kRuralCommuneTeryt = "0201022";  // around the town
inline constexpr std::string_view kPrecinct = "0009";

// Feature counts of the whole site (equal to the counts in the frame).
inline constexpr int kParcels = 170;
inline constexpr int kBuildings = 166;
inline constexpr int kNewBuildings = 19;
inline constexpr int kWaterPipes = 169;
inline constexpr int kGasPipes = 101;
inline constexpr int kPowerCables = 31;
inline constexpr int kSewerPipes = 31;
inline constexpr int kPlanZones = 12;

// National LiDAR index and tiles over the site (defaults; /__config changes
// sheet size and density). Only one yearly layer holds tiles; the layer of
// kLidarErrorYear answers 500 so clients fall back to older years.
inline constexpr std::string_view kLidarIndexPath = "/wss/service/PZGIK/DanePomiaroweLidarEVRF2007/WFS/Skorowidze";
inline constexpr std::string_view kLidarTypeNamePrefix = "gugik:SkorowidzDanychPomiarowychLIDAR";
inline constexpr std::string_view kLidarTilePathPrefix = "/NumDaneWys/DanePomiaroweLAZ/";
inline constexpr int kLidarYear = 2024;
inline constexpr int kLidarErrorYear = 2026;
inline constexpr int kLidarFirstOfferedYear = 2018;
inline constexpr int kLidarLastOfferedYear = 2030;
inline constexpr double kLidarSheetMetres = 250.0;
inline constexpr double kLidarDensity = 12.0;  // points per square metre
// 4 x 3 sheets of 250 m: E 260250-261250, N 382500-383250.
inline constexpr int kLidarSheetColumns = 4;
inline constexpr int kLidarSheetRows = 3;
inline constexpr int kLidarSheets = kLidarSheetColumns * kLidarSheetRows;
inline constexpr long long kLidarPointsPerSheet = 750000;
inline constexpr long long kLidarPoints = kLidarSheets * kLidarPointsPerSheet;
// The sheet of the north row, second from the west, is delivered in a PL-2000
// zone ("PL-2000:S6", EPSG:2177); the sheet of the south row, second from the
// west, stores its colour as 8-bit values in the 16-bit fields.
inline constexpr int kLidarZoneEpsg = 2177;
inline constexpr std::string_view kLidarZoneUkladXy = "PL-2000:S6";
// Every generated point lies between these heights (ground plus objects).
inline constexpr double kLidarMinHeight = 190.0;
inline constexpr double kLidarMaxHeight = 215.0;

// National elevation model sheet indexes and their ESRI ASCII sheets at 1 m:
// the terrain model (NMT, ground) and the surface model (NMPT, the highest
// returns), both from the heights the LiDAR tiles are made of. The NMT
// sheets are in the layer of kNmtYear, the NMPT sheets in kNmptYear; the
// layer of kElevationMissingYear is not offered (status 400), so a client
// walking back from next year meets an empty year, a missing one, and data.
inline constexpr std::string_view kNmtIndexPath = "/wss/service/PZGIK/NumerycznyModelTerenuEVRF2007/WFS/Skorowidze";
inline constexpr std::string_view kNmptIndexPath =
    "/wss/service/PZGIK/NumerycznyModelPokryciaTerenuEVRF2007/WFS/Skorowidze";
inline constexpr std::string_view kElevationSheetPathPrefix = "/NumDaneWys/";
inline constexpr int kNmtYear = 2025;
inline constexpr int kNmptYear = 2024;
inline constexpr int kElevationMissingYear = 2026;
inline constexpr int kElevationLastYear = 2027;
inline constexpr double kElevationNodata = -9999.0;
}  // namespace demo

struct Xy {
    double x = 0;  // easting
    double y = 0;  // northing
};

struct Box {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool intersects(const Box& o) const {
        return minX <= o.maxX && o.minX <= maxX && minY <= o.maxY && o.minY <= maxY;
    }
    void include(const Xy& p);
    static Box empty();
};

enum class GeometryKind { Polygon, Line };

struct DemoFeature {
    std::string id;  // gml:id, empty where the real service sends none
    GeometryKind kind = GeometryKind::Polygon;
    std::vector<std::vector<Xy>> rings;  // polygon: exterior first, then holes (closed)
    std::vector<Xy> path;                // line
    std::vector<std::pair<std::string, std::string>> properties;  // in output order
    Box bounds;

    std::string property(std::string_view key) const;
};

struct DemoLayer {
    std::string name;  // local type name without prefix, e.g. "dzialki"
    std::vector<DemoFeature> features;
};

struct DemoStreet {
    std::string name;
    Xy from, to;
    double width = 12;
};

class DemoArea {
public:
    // Built once per process. The real county building sample, when found under
    // samplesDir, stands on the square parcel reserved for it.
    static const DemoArea& instance();
    static DemoArea generate(const std::string& samplesDir);

    const DemoLayer* layer(std::string_view name) const;
    const std::vector<DemoLayer>& layers() const { return layers_; }
    const std::vector<DemoStreet>& streets() const { return streets_; }
    Box frame() const { return {demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing}; }

    // JSON text with the frames, TERYT codes and per-layer counts.
    std::string describeJson() const;

private:
    std::vector<DemoLayer> layers_;
    std::vector<DemoStreet> streets_;
};

// The shared samples folder the site reads its real pieces from.
std::string samplesDir();

// Layer names of the site (local names, the services add their prefixes).
namespace layer {
inline constexpr std::string_view kParcels = "dzialki";
inline constexpr std::string_view kArchivedParcels = "dzialki_archiwalne";
inline constexpr std::string_view kBuildings = "budynki";
inline constexpr std::string_view kNewBuildings = "bud_2025";
inline constexpr std::string_view kWater = "przewod_wodociagowy";
inline constexpr std::string_view kGas = "przewod_gazowy";
inline constexpr std::string_view kPower = "przewod_elektroenergetyczny";
inline constexpr std::string_view kSewer = "przewod_kanalizacyjny";
inline constexpr std::string_view kCommunes = "A03_Granice_gmin";
inline constexpr std::string_view kCounties = "A02_Granice_powiatow";
inline constexpr std::string_view kVoivodeships = "A01_Granice_wojewodztw";
inline constexpr std::string_view kPlanZones = "strefy_planistyczne";
}  // namespace layer

}  // namespace kl::geoportal
