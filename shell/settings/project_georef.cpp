#include "shell/settings/project_georef.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "geodata/epsg_code.h"
#include "geodata/polish_crs.h"
#include "shell/platform/diag_log.h"

namespace kl::settings {
namespace {

constexpr const char* kGeoDiagFile = "ordvik_geo_diag.txt";

std::string_view fieldText(const char* field, std::size_t capacity) {
    return {field, strnlen(field, capacity)};
}

template <std::size_t N>
void setField(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string sixDecimals(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : shortest(v);
}

bool readRecord(const KlHostFunctions* host, KlGeoLocation& record) {
    if (!host || !host->GetGeoLocation) return false;
    record = KlGeoLocation{};
    try {
        return host->GetGeoLocation(&record) == KL_NOERROR;
    } catch (...) {
        return false;
    }
}

KlErr writeRecord(const KlHostFunctions* host, const KlGeoLocation& record) {
    if (!host->SetGeoLocation) return KL_ERR_NOTSUPPORTED;
    try {
        return host->SetGeoLocation(&record);
    } catch (...) {
        return KL_ERR_GENERAL;
    }
}

void logWrite(const GeorefWriteResult& r, double lat, double lon, int zone, double e, double n) {
    std::string text = "SetGeoLocation: koncowy_err=" + std::to_string(r.lastError) +
                       " poziom_ktory_przeszedl=" + std::to_string(r.level) +
                       " (0=pelny,1=bez-opisow-CRS,2=minimum,-1=wszystkie-padly)\n";
    text += "  lat=" + shortest(lat) + " lon=" + shortest(lon) + " zone=" + std::to_string(zone) +
            " E=" + shortest(e) + " N=" + shortest(n) + " H=0\n";
    text += "  APIERR czeste: -2130311=BADID -2130313=BADPARS -2130315=BADINDEX -2110145=NOTSUPPORTED\n";
    platform::appendDiagText(kGeoDiagFile, text);
}

void report(const KlHostFunctions* host, const std::string& line) {
    if (!host->WriteReport) return;
    try {
        host->WriteReport(line.c_str(), 0);
    } catch (...) {
    }
}

}  // namespace

ProjectGeoref readProjectGeoref(const KlHostFunctions* host) {
    ProjectGeoref g;
    KlGeoLocation rec;
    if (!readRecord(host, rec)) {
        g.message = "Nie mozna odczytac georeferencji projektu (GeoLocation).";
        return g;
    }
    if (rec.surveyEasting == 0.0 && rec.surveyNorthing == 0.0) {
        if (rec.latitude == 0.0 && rec.longitude == 0.0) {
            g.message =
                "Projekt nie ma georeferencji. Kliknij \"Ustaw lokalizacje projektu wg mapy\" w palecie Geodrop "
                "(albo ustaw Survey Point: Opcje > Preferencje projektu > Georeferencja).";
            return g;
        }
        const auto p = geo::wgs84ToPl1992(rec.latitude, rec.longitude);
        g.easting = p.x;
        g.northing = p.y;
        g.height = rec.altitude;
        g.epsg = geo::kEpsgPl1992;
        g.level = GeorefLevel::Approximate;
        g.message = "Georeferencja przyblizona (z lokalizacji projektu, nie Survey Pointu).";
        return g;
    }
    g.easting = rec.surveyEasting;
    g.northing = rec.surveyNorthing;
    g.height = rec.surveyElevation;
    g.level = GeorefLevel::Exact;
    const std::string_view name = fieldText(rec.crsName, sizeof rec.crsName);
    const int code = geo::findPolishEpsg(name);
    g.epsg = code != 0 ? code : geo::kEpsgPl1992;
    if (code == 0 && !name.empty()) {
        g.message = "Uwaga: nieobslugiwany CRS projektu \"" + std::string(name) +
                    "\". Import zaklada uklad PL-2000/PL-1992 - sprawdz georeferencje.";
    }
    return g;
}

GeorefWriteResult writeProjectGeoref(const KlHostFunctions* host, double latDeg, double lonDeg, int zoneEpsg,
                                     double easting, double northing) {
    GeorefWriteResult result;
    KlGeoLocation rec;
    if (!readRecord(host, rec)) {
        result.readFailed = true;
        return result;
    }
    rec.latitude = latDeg;
    rec.longitude = lonDeg;
    rec.surveyEasting = easting;
    rec.surveyNorthing = northing;
    rec.surveyElevation = 0.0;
    rec.scaleFactor = 1.0;
    setField(rec.crsName, "EPSG:" + std::to_string(zoneEpsg));
    setField(rec.geodeticDatum, "ETRF2000 (PL-ETRF2000)");
    setField(rec.verticalDatum, "PL-EVRF2007-NH");
    setField(rec.mapProjection, "PL-2000");
    setField(rec.mapZone, std::to_string(zoneEpsg - 2171));

    for (int level = 0; level <= 2; ++level) {
        if (level >= 1) {
            setField(rec.crsDescription, "");
            setField(rec.geodeticDatum, "");
            setField(rec.verticalDatum, "");
            setField(rec.mapProjection, "");
            setField(rec.mapZone, "");
        }
        if (level == 2) setField(rec.crsName, "");
        result.lastError = writeRecord(host, rec);
        if (result.lastError == KL_NOERROR) {
            result.level = level;
            break;
        }
    }
    logWrite(result, latDeg, lonDeg, zoneEpsg, easting, northing);
    if (result.ok()) {
        report(host, "KARTOLINK: ustawiono georeferencje projektu: E=" + sixDecimals(easting) +
                         " N=" + sixDecimals(northing) + " (PL-2000, EPSG:" + std::to_string(zoneEpsg) + ")" +
                         " H=" + sixDecimals(0.0) + " m n.p.m. (PL-EVRF2007-NH)");
    }
    return result;
}

bool setSurveyPointHeight(const KlHostFunctions* host, double height) {
    KlGeoLocation rec;
    if (!readRecord(host, rec)) return false;
    rec.surveyElevation = height;
    return writeRecord(host, rec) == KL_NOERROR;
}

}  // namespace kl::settings
