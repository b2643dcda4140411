#include "geodata/tm_projection.h"

#include <array>
#include <cmath>

namespace kl::geo {
namespace {

constexpr double kE2 = kGrs80F * (2.0 - kGrs80F);
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

struct Complex {
  double re;
  double im;
};

// Sum of c[j] * sin(2 (j+1) z) for complex z = xi + i eta, by Clenshaw's
// recurrence, so only one set of trigonometric and hyperbolic calls is needed.
Complex sineSeries(const std::array<double, 6>& c, double xi, double eta) {
  const double s2 = std::sin(2.0 * xi);
  const double c2 = std::cos(2.0 * xi);
  const double sh2 = std::sinh(2.0 * eta);
  const double ch2 = std::cosh(2.0 * eta);
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

double conformalTan(double tau) {
  const double e = std::sqrt(kE2);
  const double sigma = std::sinh(e * std::atanh(e * tau / std::hypot(1.0, tau)));
  return tau * std::hypot(1.0, sigma) - sigma * std::hypot(1.0, tau);
}

// Newton's method converges quadratically; the cap only guards against NaN.
double geodeticTanFromConformal(double tauPrime) {
  constexpr double kOneMinusE2 = 1.0 - kE2;
  double tau = tauPrime / kOneMinusE2;
  for (int i = 0; i < 8; ++i) {
    const double tp = conformalTan(tau);
    const double slope = kOneMinusE2 * std::hypot(1.0, tp) * std::hypot(1.0, tau) /
                         (1.0 + kOneMinusE2 * tau * tau);
    const double step = (tauPrime - tp) / slope;
    tau += step;
    if (!(std::abs(step) > 1e-15 * std::max(1.0, std::abs(tau)))) {
      break;
    }
  }
  return tau;
}

}  // namespace

Point2d tmForward(double latRad, double lonRad, double k0, double lon0Rad, double falseEasting,
                  double falseNorthing) noexcept {
  const double dLon = lonRad - lon0Rad;
  const double tauPrime = conformalTan(std::tan(latRad));
  const double cosLon = std::cos(dLon);
  const double xiPrime = std::atan2(tauPrime, cosLon);
  const double etaPrime = std::asinh(std::sin(dLon) / std::hypot(tauPrime, cosLon));
  const Complex sum = sineSeries(kAlpha, xiPrime, etaPrime);
  const double scale = k0 * kRectifyingRadius;
  return {falseEasting + scale * (etaPrime + sum.im), falseNorthing + scale * (xiPrime + sum.re)};
}

RadianLatLon tmInverse(double easting, double northing, double k0, double lon0Rad,
                       double falseEasting, double falseNorthing) noexcept {
  const double scale = k0 * kRectifyingRadius;
  const double xi = (northing - falseNorthing) / scale;
  const double eta = (easting - falseEasting) / scale;
  const Complex sum = sineSeries(kBeta, xi, eta);
  const double xiPrime = xi - sum.re;
  const double etaPrime = eta - sum.im;
  const double sinhEta = std::sinh(etaPrime);
  const double cosXi = std::cos(xiPrime);
  const double tauPrime = std::sin(xiPrime) / std::hypot(sinhEta, cosXi);
  const double tau = geodeticTanFromConformal(tauPrime);
  return {std::atan(tau), lon0Rad + std::atan2(sinhEta, cosXi)};
}

}  // namespace kl::geo
