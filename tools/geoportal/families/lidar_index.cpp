#include "tools/geoportal/geometry.h"
#include "tools/geoportal/gml_writer.h"
#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/text_util.h"
#include "tools/geoportal/wfs_service.h"

namespace kl::geoportal {

namespace {

std::string typeNameOf(int year) { return std::string(demo::kLidarTypeNamePrefix) + formatInt(year); }

DemoFeature indexRecord(int year, const LidarParams& params, const LidarSheet& sheet, const std::string& base) {
    const std::string y = formatInt(year);
    DemoFeature f = sheetFeature("SkorowidzDanychPomiarowychLIDAR" + y + "." + formatInt(sheet.featureId), sheet.bounds);
    f.properties = {
        {"godlo", sheet.godlo},
        {"akt_rok", y},
        {"asortyment", "chmura punktow"},
        {"format", "LAZ"},
        {"char_przestrz", formatShortest(params.density) + " p/m2"},
        {"blad_sr_wys", "0.10"},
        {"uklad_xy", sheet.ukladXy()},
        {"modul_archiwizacji", "1:1000"},
        {"uklad_h", "PL-EVRF2007-NH"},
        {"nr_zglosz", "GI-FOTO.6201.14." + y},
        {"akt_data", timePositionValue(y + "-05-20")},
        {"czy_ark_wypelniony", "TAK"},
        {"url_do_pobrania", base + lidarTilePath(params, sheet)},
        {"zrodlo_danych", "Skaning laserowy"},
        {"dt_pzgik", timePositionValue(y + "-11-08")},
        {"blad_sr_syt", "0.25"},
    };
    return f;
}

std::vector<DemoFeature> yearRecords(const WfsLayer& layer, const ServiceRequest& req) {
    std::vector<DemoFeature> records;
    const int year = req.config.lidarYear;
    if (layer.typeName != typeNameOf(year)) return records;
    const LidarParams params{req.config.lidarSheetMetres, req.config.lidarDensity};
    const std::string base = req.serverBase();
    for (const auto& sheet : lidarSheets(params.sheetMetres)) records.push_back(indexRecord(year, params, sheet, base));
    return records;
}

const ServiceFamily& indexService() {
    static const ServiceFamily service = [] {
        ServiceFamily f;
        f.name = "lidar";
        f.title = "Skorowidze danych pomiarowych LIDAR (PL-EVRF2007-NH)";
        f.prefix = "gugik";
        f.namespaceUri = "http://www.gugik.gov.pl";
        f.features = yearRecords;
        for (int year = demo::kLidarFirstOfferedYear; year <= demo::kLidarLastOfferedYear; ++year) {
            WfsLayer layer;
            layer.typeName = typeNameOf(year);
            layer.title = "Skorowidz danych pomiarowych LIDAR " + formatInt(year);
            f.wfsLayers.push_back(std::move(layer));
        }
        return f;
    }();
    return service;
}

bool asksErrorYear(const ServiceRequest& req) {
    if (req.config.lidarErrorYear <= 0 || !iequals(req.param("request"), "GetFeature")) return false;
    std::string names = req.param("typenames");
    if (names.empty()) names = req.param("typename");
    const std::string wanted = typeNameOf(req.config.lidarErrorYear);
    for (auto name : split(names, ','))
        if (iequals(name, wanted) || iequals(name, std::string_view(wanted).substr(wanted.find(':') + 1))) return true;
    return false;
}

}  // namespace

// National LiDAR sheet index: one WFS layer per survey year.
ServiceFamily lidarIndexFamily() {
    ServiceFamily f;
    f.name = "lidar";
    f.title = indexService().title;
    f.pathPatterns = {"^" + std::string(demo::kLidarIndexPath) + "$"};
    f.handler = [](const ServiceRequest& req) -> Reply {
        if (asksErrorYear(req))
            return {500, "text/html; charset=UTF-8",
                    "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1>"
                    "<p>The server encountered an internal error.</p></body></html>\n"};
        return handleWfs(indexService(), req);
    };
    return f;
}

}  // namespace kl::geoportal
