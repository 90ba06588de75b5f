#include "exact_numbers.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr double kPi = 3.141592653589793;

int64_t power10(int decimals) {
  int64_t power = 1;
  for (int i = 0; i < decimals; ++i) power *= 10;
  return power;
}

// Taylor series on |x| <= pi / 4, where twelve terms leave less than the last bit.
double seriesSin(double x) {
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int n = 1; n < 12; ++n) {
    term = -term * x2 / static_cast<double>((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

double seriesCos(double x) {
  const double x2 = x * x;
  double term = 1;
  double sum = 1;
  for (int n = 1; n < 12; ++n) {
    term = -term * x2 / static_cast<double>((2 * n - 1) * (2 * n));
    sum += term;
  }
  return sum;
}

}  // namespace

void sinCosDegrees(double degrees, double* sine, double* cosine) {
  // fmod and rounding to a whole number are exact, so the reduction is the same everywhere.
  const double reduced = std::fmod(degrees, 360.0);
  const double quarters = std::nearbyint(reduced / 90.0);
  const double x = (reduced - quarters * 90.0) * (kPi / 180.0);
  const double s = seriesSin(x);
  const double c = seriesCos(x);
  switch (static_cast<int>(quarters) & 3) {
    case 0:
      *sine = s, *cosine = c;
      break;
    case 1:
      *sine = c, *cosine = -s;
      break;
    case 2:
      *sine = -s, *cosine = -c;
      break;
    default:
      *sine = -c, *cosine = s;
      break;
  }
}

double roundedTo(double value, int decimals) {
  const double scale = static_cast<double>(power10(decimals));
  return static_cast<double>(std::llround(value * scale)) / scale;
}

std::string fixedDecimal(double value, int decimals) {
  const int64_t scale = power10(decimals);
  const int64_t units = std::llround(value * static_cast<double>(scale));
  const uint64_t magnitude = static_cast<uint64_t>(units < 0 ? -units : units);
  std::string text = units < 0 ? "-" : "";
  text += std::to_string(magnitude / static_cast<uint64_t>(scale));
  if (decimals == 0) return text;
  std::string fraction = std::to_string(magnitude % static_cast<uint64_t>(scale));
  return text + "." + std::string(static_cast<size_t>(decimals) - fraction.size(), '0') + fraction;
}

Vec3 turned(const Vec3& p, double rotX, double rotY, double rotZ) {
  double s = 0;
  double c = 1;
  sinCosDegrees(rotX, &s, &c);
  const Vec3 a = {p.x, c * p.y - s * p.z, s * p.y + c * p.z};
  sinCosDegrees(rotY, &s, &c);
  const Vec3 b = {c * a.x + s * a.z, a.y, -s * a.x + c * a.z};
  sinCosDegrees(rotZ, &s, &c);
  return {c * b.x - s * b.y, s * b.x + c * b.y, b.z};
}
