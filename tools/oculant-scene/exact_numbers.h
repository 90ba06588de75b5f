// Arithmetic whose results do not depend on the C library: generated files must be the same
// byte for byte on every machine, and libm's sin and cos, and printf's rounding, may differ in
// the last bit between libraries. Built without contracting a * b + c into one instruction.
#pragma once

#include <string>

// sin and cos of an angle in degrees from a fixed series of +, - and *.
void sinCosDegrees(double degrees, double* sine, double* cosine);

// The value rounded to a multiple of 10^-decimals (0 to 9 decimals).
double roundedTo(double value, int decimals);

// The value rounded to the given decimals and written with exactly that many, "-" for a
// negative value: "-0.250", "3.000".
std::string fixedDecimal(double value, int decimals);

// A point and a 3 x 3 rotation for the generator's bounding boxes.
struct Vec3 {
  double x, y, z;
};
// Turned about the x, then y, then z axis by the given degrees, each by the right-hand rule.
Vec3 turned(const Vec3& point, double rotX, double rotY, double rotZ);
