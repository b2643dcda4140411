#pragma once
// The project's survey point and coordinate system, read and written through
// the host's geo-location record. Main thread only.
#include <string>

#include "host/sdk/kl_host_api.h"

namespace kl::settings {

enum class GeorefLevel { Unreadable = 0, Approximate = 1, Exact = 2 };

struct ProjectGeoref {
    double easting = 0.0;   // metres, in epsg
    double northing = 0.0;
    double height = 0.0;    // metres, PL-EVRF2007-NH
    int epsg = 2180;
    GeorefLevel level = GeorefLevel::Unreadable;
    std::string message;    // Polish; empty when there is nothing to say
};

// host may be null (no host yet): reads as unreadable.
ProjectGeoref readProjectGeoref(const KlHostFunctions* host);

struct GeorefWriteResult {
    bool readFailed = false;       // the record could not be read; nothing was written
    KlErr lastError = KL_NOERROR;  // of the last write attempt
    int level = -1;                // 0 full, 1 without CRS descriptions, 2 minimum, -1 all failed
    bool ok() const { return !readFailed && level >= 0; }
};

// Writes the survey point (easting, northing in the PL-2000 zone zoneEpsg,
// 2176..2179) and the location lat, lon. Tries the full record first and
// falls back to records with fewer CRS texts; logs the attempt to the
// diagnostic file and, on success, reports it in the host's report window.
GeorefWriteResult writeProjectGeoref(const KlHostFunctions* host, double latDeg, double lonDeg, int zoneEpsg,
                                     double easting, double northing);

// The project moved to a map centre (degrees), for every page that offers it:
// the point in the PL-2000 zone of its longitude, written as
// writeProjectGeoref writes it. A centre outside Poland is refused before
// anything is written: the services could serve no later import there.
struct OriginResult {
    std::string error;  // Polish; empty when the georeference was written
    int zoneEpsg = 0;
    double easting = 0.0, northing = 0.0;
};
OriginResult setProjectOrigin(const KlHostFunctions* host, double latDeg, double lonDeg);

// Sets only the survey point's height (read, change, one write).
bool setSurveyPointHeight(const KlHostFunctions* host, double height);

}  // namespace kl::settings
