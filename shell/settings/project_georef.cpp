#include "shell/settings/project_georef.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "geodata/epsg_code.h"
#include "geodata/polish_crs.h"
#include "base/diag_log.h"
#include "base/folders.h"

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

// A survey point whose record names no known system (the host may refuse
// the name, so the record is written without one) is told apart by its
// size: PL-2000 eastings carry the zone number in the millions
// (5..8 500 000), PL-1992 ones stay below a million, and the two northing
// ranges (5.4..6.1 million against 0.1..0.8 million) never meet.
int epsgFromCoordinates(double easting, double northing) {
    if (!std::isfinite(easting) || !std::isfinite(northing)) return 0;
    const double zone = std::floor(easting / 1e6);
    if (zone >= 5 && zone <= 8 && northing > 4.9e6 && northing < 6.3e6)
        return geo::kEpsgPl2000Zone5 + static_cast<int>(zone) - 5;
    if (easting > 0 && easting < 1e6 && northing > 0 && northing < 1e6) return geo::kEpsgPl1992;
    return 0;
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
    const int named = geo::findPolishEpsg(name);
    if (named != 0) {
        g.epsg = named;
        return g;
    }
    const int guessed = epsgFromCoordinates(g.easting, g.northing);
    g.epsg = guessed != 0 ? guessed : geo::kEpsgPl1992;
    if (!name.empty()) {
        g.message = "Uwaga: nieobslugiwany CRS projektu \"" + std::string(name) +
                    "\". Import zaklada uklad PL-2000/PL-1992 - sprawdz georeferencje.";
    } else if (guessed == 0) {
        g.message = "Uwaga: Survey Point projektu nie lezy ani w ukladzie PL-2000, ani PL-1992 - "
                    "sprawdz georeferencje.";
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

OriginResult setProjectOrigin(const KlHostFunctions* host, double latDeg, double lonDeg) {
    OriginResult r;
    if (!geo::isInsidePoland(latDeg, lonDeg)) {
        r.error = "Srodek mapy lezy poza Polska - lokalizacje projektu mozna ustawic tylko w Polsce.";
        return r;
    }
    r.zoneEpsg = geo::pl2000EpsgForLongitude(lonDeg);
    const geo::Point2d pl1992 = geo::wgs84ToPl1992(latDeg, lonDeg);
    const geo::Point2d p = geo::pl1992ToPl2000(pl1992.x, pl1992.y, r.zoneEpsg);
    r.easting = p.x;
    r.northing = p.y;
    const GeorefWriteResult written = writeProjectGeoref(host, latDeg, lonDeg, r.zoneEpsg, p.x, p.y);
    if (written.readFailed) {
        r.error = "Nie mozna odczytac georeferencji projektu";
    } else if (!written.ok()) {
        r.error = "Nie udalo sie zapisac georeferencji projektu (kod " + std::to_string(written.lastError) +
                  "). Szczegoly: " + (platform::diagnosticDir() / "ordvik_geo_diag.txt").string() +
                  ". Ustaw lokalizacje recznie: Opcje > Preferencje projektu > Georeferencja.";
    }
    return r;
}

bool setSurveyPointHeight(const KlHostFunctions* host, double height) {
    KlGeoLocation rec;
    if (!readRecord(host, rec)) return false;
    rec.surveyElevation = height;
    return writeRecord(host, rec) == KL_NOERROR;
}

}  // namespace kl::settings
