#include "geodata/tm_projection.h"

#include <array>
#include <cmath>

namespace kl::geo {
namespace {

constexpr double kN = kGrs80F / (2.0 - kGrs80F);
constexpr double kN2 = kN * kN;
constexpr double kN3 = kN2 * kN;
constexpr double kN4 = kN3 * kN;
constexpr double kN5 = kN4 * kN;
constexpr double kN6 = kN5 * kN;

// Rectifying radius: the meridian arc per radian of rectifying latitude.
constexpr double kRectifyingRadius =
    kGrs80A / (1.0 + kN) * (1.0 + kN2 / 4.0 + kN4 / 64.0 + kN6 / 256.0);

// Conformal sphere -> ellipsoid grid (forward) coefficients.
constexpr std::array<double, 6> kAlpha = {
    kN / 2.0 - 2.0 * kN2 / 3.0 + 5.0 * kN3 / 16.0 + 41.0 * kN4 / 180.0 - 127.0 * kN5 / 288.0 +
        7891.0 * kN6 / 37800.0,
    13.0 * kN2 / 48.0 - 3.0 * kN3 / 5.0 + 557.0 * kN4 / 1440.0 + 281.0 * kN5 / 630.0 -
        1983433.0 * kN6 / 1935360.0,
    61.0 * kN3 / 240.0 - 103.0 * kN4 / 140.0 + 15061.0 * kN5 / 26880.0 +
        167603.0 * kN6 / 181440.0,
    49561.0 * kN4 / 161280.0 - 179.0 * kN5 / 168.0 + 6601661.0 * kN6 / 7257600.0,
    34729.0 * kN5 / 80640.0 - 3418889.0 * kN6 / 1995840.0,
    212378941.0 * kN6 / 319334400.0,
};

// Grid -> conformal sphere (inverse) coefficients.
constexpr std::array<double, 6> kBeta = {
    kN / 2.0 - 2.0 * kN2 / 3.0 + 37.0 * kN3 / 96.0 - kN4 / 360.0 - 81.0 * kN5 / 512.0 +
        96199.0 * kN6 / 604800.0,
    kN2 / 48.0 + kN3 / 15.0 - 437.0 * kN4 / 1440.0 + 46.0 * kN5 / 105.0 -
        1118711.0 * kN6 / 3870720.0,
    17.0 * kN3 / 480.0 - 37.0 * kN4 / 840.0 - 209.0 * kN5 / 4480.0 + 5569.0 * kN6 / 90720.0,
    4397.0 * kN4 / 161280.0 - 11.0 * kN5 / 504.0 - 830251.0 * kN6 / 7257600.0,
    4583.0 * kN5 / 161280.0 - 108847.0 * kN6 / 3991680.0,
    20648693.0 * kN6 / 638668800.0,
};

// Conformal latitude from geodetic, and back: chi - phi (and phi - chi) as sums of
// c[j] * sin(2 (j+1) x), sixth order in the third flattening like the series above.
constexpr std::array<double, 6> kGeodeticToConformal = {
    kN * (-2.0 + kN * (2.0 / 3.0 + kN * (4.0 / 3.0 + kN * (-82.0 / 45.0 + kN * (32.0 / 45.0 + kN * 4642.0 / 4725.0))))),
    kN2 * (5.0 / 3.0 + kN * (-16.0 / 15.0 + kN * (-13.0 / 9.0 + kN * (904.0 / 315.0 + kN * -1522.0 / 945.0)))),
    kN3 * (-26.0 / 15.0 + kN * (34.0 / 21.0 + kN * (8.0 / 5.0 + kN * -12686.0 / 2835.0))),
    kN4 * (1237.0 / 630.0 + kN * (-12.0 / 5.0 + kN * -24832.0 / 14175.0)),
    kN5 * (-734.0 / 315.0 + kN * 109598.0 / 31185.0),
    kN6 * 444337.0 / 155925.0,
};
constexpr std::array<double, 6> kConformalToGeodetic = {
    kN * (2.0 + kN * (-2.0 / 3.0 + kN * (-2.0 + kN * (116.0 / 45.0 + kN * (26.0 / 45.0 + kN * -2854.0 / 675.0))))),
    kN2 * (7.0 / 3.0 + kN * (-8.0 / 5.0 + kN * (-227.0 / 45.0 + kN * (2704.0 / 315.0 + kN * 2323.0 / 945.0)))),
    kN3 * (56.0 / 15.0 + kN * (-136.0 / 35.0 + kN * (-1262.0 / 105.0 + kN * 73814.0 / 2835.0))),
    kN4 * (4279.0 / 630.0 + kN * (-332.0 / 35.0 + kN * -399572.0 / 14175.0)),
    kN5 * (4174.0 / 315.0 + kN * -144838.0 / 6237.0),
    kN6 * 601676.0 / 22275.0,
};

struct Complex {
  double re;
  double im;
};

struct SinCos {
  double sin;
  double cos;
};

// Sine and cosine of an angle of a few milliradians (the series corrections), by
// Taylor polynomials whose first omitted term is far below a double's precision.
SinCos smallSinCos(double x) {
  const double x2 = x * x;
  return {x * (1.0 - x2 / 6.0 * (1.0 - x2 / 20.0 * (1.0 - x2 / 42.0))),
          1.0 - x2 / 2.0 * (1.0 - x2 / 12.0 * (1.0 - x2 / 30.0))};
}
// The hyperbolic counterparts.
SinCos smallSinhCosh(double x) {
  const double x2 = x * x;
  return {x * (1.0 + x2 / 6.0 * (1.0 + x2 / 20.0 * (1.0 + x2 / 42.0))),
          1.0 + x2 / 2.0 * (1.0 + x2 / 12.0 * (1.0 + x2 / 30.0))};
}

// sin(a - d), cos(a - d) from the sine and cosine of each.
SinCos minus(SinCos a, SinCos d) {
  return {a.sin * d.cos - a.cos * d.sin, a.cos * d.cos + a.sin * d.sin};
}

// Sum of c[j] * sin(2 (j+1) x) for real x, from sin x and cos x, by Clenshaw's recurrence.
double realSineSeries(const std::array<double, 6>& c, SinCos x) {
  const double twoCos2x = 2.0 * (x.cos - x.sin) * (x.cos + x.sin);
  double b1 = 0.0;
  double b2 = 0.0;
  for (std::size_t k = c.size(); k-- > 0;) {
    const double b0 = c[k] + twoCos2x * b1 - b2;
    b2 = b1;
    b1 = b0;
  }
  return 2.0 * x.sin * x.cos * b1;
}

// Sum of c[j] * sin(2 (j+1) z) for complex z = xi + i eta, by Clenshaw's
// recurrence, from the sine and cosine of xi and the sinh and cosh of eta.
Complex sineSeries(const std::array<double, 6>& c, SinCos xi, SinCos eta) {
  const double s2 = 2.0 * xi.sin * xi.cos;
  const double c2 = (xi.cos - xi.sin) * (xi.cos + xi.sin);
  const double sh2 = 2.0 * eta.sin * eta.cos;
  const double ch2 = eta.cos * eta.cos + eta.sin * eta.sin;
  // z2 = 2 cos(2z)
  const Complex z2{2.0 * c2 * ch2, -2.0 * s2 * sh2};
  Complex b1{0.0, 0.0};
  Complex b2{0.0, 0.0};
  for (std::size_t k = c.size(); k-- > 0;) {
    const Complex b0{c[k] + z2.re * b1.re - z2.im * b1.im - b2.re,
                     z2.re * b1.im + z2.im * b1.re - b2.im};
    b2 = b1;
    b1 = b0;
  }
  // sin(2z) * b1
  const Complex sin2z{s2 * ch2, c2 * sh2};
  return {sin2z.re * b1.re - sin2z.im * b1.im, sin2z.re * b1.im + sin2z.im * b1.re};
}

// A point on the conformal sphere: its conformal latitude chi and its longitude
// from the grid's central meridian, as sines and cosines.
struct SpherePoint {
  SinCos chi;
  SinCos lon;
};

SinCos conformalFromGeodetic(double latRad) {
  const SinCos phi{std::sin(latRad), std::cos(latRad)};
  // chi = phi + correction
  return minus(phi, smallSinCos(-realSineSeries(kGeodeticToConformal, phi)));
}

Point2d gridFromSphere(const TmGrid& g, const SpherePoint& p) {
  const double cosChiSinLon = p.chi.cos * p.lon.sin;
  const double cosChiCosLon = p.chi.cos * p.lon.cos;
  const double xiPrime = std::atan2(p.chi.sin, cosChiCosLon);
  const double etaPrime = std::atanh(cosChiSinLon);
  // sin^2 chi + (cos chi cos lon)^2 = 1 - (cos chi sin lon)^2 = 1 / cosh^2 eta'
  const double r = std::sqrt((1.0 - cosChiSinLon) * (1.0 + cosChiSinLon));
  const Complex sum = sineSeries(kAlpha, {p.chi.sin / r, cosChiCosLon / r}, {cosChiSinLon / r, 1.0 / r});
  const double scale = g.k0 * kRectifyingRadius;
  return {g.falseEasting + scale * (etaPrime + sum.im), g.falseNorthing + scale * (xiPrime + sum.re)};
}

// The sphere point of a grid point, with r = cos chi * cosh eta' = hypot(sinh eta', cos xi')
// and the sphere's xi', eta' kept for the caller that wants the angles themselves.
struct SphereFromGrid {
  SpherePoint point;
  double sinhEtaPrime;
  SinCos xiPrime;
  double r;
};

SphereFromGrid sphereFromGrid(const TmGrid& g, double easting, double northing) {
  const double scale = g.k0 * kRectifyingRadius;
  const double xi = (northing - g.falseNorthing) / scale;
  const double eta = (easting - g.falseEasting) / scale;
  const SinCos xiTrig{std::sin(xi), std::cos(xi)};
  const double expm1Eta = std::expm1(eta);
  const double expMinusEta = 1.0 / (expm1Eta + 1.0);
  const double sinhEta = 0.5 * (expm1Eta + expm1Eta * expMinusEta);
  const SinCos etaHyp{sinhEta, sinhEta + expMinusEta};
  const Complex sum = sineSeries(kBeta, xiTrig, etaHyp);
  // xi' = xi - sum.re, eta' = eta - sum.im
  const SinCos xiPrime = minus(xiTrig, smallSinCos(sum.re));
  const SinCos d = smallSinhCosh(sum.im);
  const double sinhEtaPrime = etaHyp.sin * d.cos - etaHyp.cos * d.sin;
  const double coshEtaPrime = etaHyp.cos * d.cos - etaHyp.sin * d.sin;
  // Both terms are of order one: there is no overflow for std::hypot to guard against.
  const double r = std::sqrt(sinhEtaPrime * sinhEtaPrime + xiPrime.cos * xiPrime.cos);
  return {{{xiPrime.sin / coshEtaPrime, r / coshEtaPrime}, {sinhEtaPrime / r, xiPrime.cos / r}},
          sinhEtaPrime,
          xiPrime,
          r};
}

}  // namespace

TmGrid makeTmGrid(double k0, double lon0Rad, double falseEasting, double falseNorthing) noexcept {
  return {k0, lon0Rad, std::sin(lon0Rad), std::cos(lon0Rad), falseEasting, falseNorthing};
}

// On the conformal sphere the projection is the spherical one; the series carry
// latitudes to and from it and the sphere to the grid. The series want sines and
// cosines of angles the point already has, or differs from by a small correction,
// so they come from one sine-cosine pair by identities and short polynomials: a
// point costs a few library calls instead of a few dozen.
Point2d tmForward(const TmGrid& grid, double latRad, double lonRad) noexcept {
  const double dLon = lonRad - grid.lon0Rad;
  return gridFromSphere(grid, {conformalFromGeodetic(latRad), {std::sin(dLon), std::cos(dLon)}});
}

RadianLatLon tmInverse(const TmGrid& grid, double easting, double northing) noexcept {
  const SphereFromGrid s = sphereFromGrid(grid, easting, northing);
  const double chi = std::atan2(s.xiPrime.sin, s.r);
  const double phi = chi + realSineSeries(kConformalToGeodetic, s.point.chi);
  return {phi, grid.lon0Rad + std::atan2(s.sinhEtaPrime, s.xiPrime.cos)};
}

Point2d tmGridToGrid(const TmGrid& from, const TmGrid& to, double easting, double northing) noexcept {
  SpherePoint p = sphereFromGrid(from, easting, northing).point;
  // The longitude from the target meridian: lon + (lon0 from - lon0 to).
  const SinCos shift = minus({from.sinLon0, from.cosLon0}, {to.sinLon0, to.cosLon0});
  p.lon = {p.lon.sin * shift.cos + p.lon.cos * shift.sin, p.lon.cos * shift.cos - p.lon.sin * shift.sin};
  return gridFromSphere(to, p);
}

}  // namespace kl::geo
