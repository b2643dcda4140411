#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/geometry.h"
#include "tools/geoportal/gml_writer.h"
#include "tools/geoportal/service_family.h"
#include "tools/geoportal/text_util.h"
#include "tools/geoportal/wfs_service.h"

namespace kl::geoportal {

namespace {

std::string typeNameOf(ElevationModelKind model, int year) {
    return "gugik:Skorowidz" + std::string(elevationModelCode(model)) + formatInt(year);
}

int sheetYear(ElevationModelKind model) {
    return model == ElevationModelKind::Terrain ? demo::kNmtYear : demo::kNmptYear;
}

DemoFeature indexRecord(ElevationModelKind model, const ElevationSheet& sheet, const std::string& base) {
    const std::string y = formatInt(sheetYear(model));
    const std::string code(elevationModelCode(model));
    DemoFeature f = sheetFeature("Skorowidz" + code + y + "." + formatInt(sheet.featureId), sheet.bounds);
    f.properties = {
        {"godlo", sheet.godlo},
        {"akt_rok", y},
        {"format", "ARC/INFO ASCII GRID"},
        {"char_przestrz", "1.00 m"},
        {"blad_sr_wys", "0.15"},
        {"uklad_xy", "PL-1992"},
        {"uklad_h", "PL-EVRF2007-NH"},
        {"asortyment", model == ElevationModelKind::Terrain ? "NMT" : "NMPT"},
        {"akt_data", timePositionValue(y + "-04-14")},
        {"czy_ark_wypelniony", sheet.edgeColumns > 0 || sheet.nodataRows > 0 ? "NIE" : "TAK"},
        {"url_do_pobrania", base + elevationSheetPath(model, sheet)},
        {"nazwa_pliku", formatInt(sheet.featureId) + "_" + sheet.godlo + ".asc"},
        {"dt_pzgik", timePositionValue(y + "-09-30")},
    };
    return f;
}

ServiceFamily indexFamily(ElevationModelKind model) {
    const std::string code(elevationModelCode(model));
    ServiceFamily f;
    f.name = "skorowidz-" + toLower(code);
    f.title = "Skorowidze arkuszy " + code + " (PL-EVRF2007-NH)";
    f.pathPatterns = {"^" + std::string(model == ElevationModelKind::Terrain ? demo::kNmtIndexPath : demo::kNmptIndexPath) + "$"};
    f.prefix = "gugik";
    f.namespaceUri = "http://www.gugik.gov.pl";
    f.features = [model](const WfsLayer& layer, const ServiceRequest& req) {
        std::vector<DemoFeature> records;
        if (layer.typeName != typeNameOf(model, sheetYear(model))) return records;
        const std::string base = req.serverBase();
        for (const ElevationSheet& sheet : elevationSheets()) records.push_back(indexRecord(model, sheet, base));
        return records;
    };
    for (int year = 2018; year <= demo::kElevationLastYear; ++year) {
        if (year == demo::kElevationMissingYear) continue;
        WfsLayer layer;
        layer.typeName = typeNameOf(model, year);
        layer.title = "Skorowidz " + code + " " + formatInt(year);
        f.wfsLayers.push_back(std::move(layer));
    }
    return f;
}

}  // namespace

// National sheet indexes of the terrain and the surface model: one WFS layer per year.
ServiceFamily terrainModelIndexFamily() { return indexFamily(ElevationModelKind::Terrain); }
ServiceFamily surfaceModelIndexFamily() { return indexFamily(ElevationModelKind::Surface); }

}  // namespace kl::geoportal
