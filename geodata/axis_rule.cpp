#include "geodata/axis_rule.h"

#include "geodata/epsg_code.h"
#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

constexpr int kEpsgEtrs89 = 4258;

bool isGeographic(int epsg) noexcept { return epsg == kEpsgWgs84 || epsg == kEpsgEtrs89; }

// Generous bounds of Poland with its margin; the latitude and longitude
// ranges do not overlap, so values alone tell the axis order.
bool looksLikePolishLatitude(double v) noexcept { return v >= 47.0 && v <= 56.5; }
bool looksLikePolishLongitude(double v) noexcept { return v >= 12.0 && v <= 26.5; }

// Leading millions of a grid value; values no grid can hold count as none.
long long millionsOf(double v) noexcept {
  return (v > -1e15 && v < 1e15) ? static_cast<long long>(v / 1000000.0) : -1;
}

}  // namespace

AxisRule AxisRule::fromSrsName(std::string_view srsName) noexcept {
  AxisRule rule;
  rule.epsg = epsgFromSrsName(srsName);
  const bool epsgAxisOrder = srsName.find("urn:") != std::string_view::npos ||
                             srsName.find("/def/crs/") != std::string_view::npos;
  rule.declaredNorthingFirst =
      epsgAxisOrder && (rule.epsg == kEpsgPl1992 || isPl2000Epsg(rule.epsg));
  rule.declaredLatitudeFirst = epsgAxisOrder;
  return rule;
}

Point2d AxisRule::toPl1992(double first, double second) const noexcept {
  if (isPl2000Epsg(epsg)) {
    // In zones 7 and 8 only the easting starts with the zone digit, so the
    // millions tell the order whatever the declaration says.
    const int zone = epsg - 2171;
    const bool firstInZone = millionsOf(first) == zone;
    const bool secondInZone = millionsOf(second) == zone;
    double easting = first;
    double northing = second;
    if (firstInZone == secondInZone ? declaredNorthingFirst : secondInZone) {
      easting = second;
      northing = first;
    }
    return pl2000ToPl1992(easting, northing, epsg);
  }
  if (isGeographic(epsg)) {
    bool latitudeFirst = declaredLatitudeFirst;
    if (looksLikePolishLatitude(first) && looksLikePolishLongitude(second)) {
      latitudeFirst = true;
    } else if (looksLikePolishLongitude(first) && looksLikePolishLatitude(second)) {
      latitudeFirst = false;
    }
    return latitudeFirst ? wgs84ToPl1992(first, second) : wgs84ToPl1992(second, first);
  }
  return declaredNorthingFirst ? Point2d{second, first} : Point2d{first, second};
}

}  // namespace kl::geo
