// The overview's camera transforms, applied to the current GL matrix.
#pragma once

// Multiplies the current matrix by Rz(rz) Ry(ry) Rx(rx) T(-tx, -ty, -tz), angles in degrees.
void applyPanTransform(double tx, double ty, double tz, double rz, double ry, double rx);

// Multiplies the current matrix by T(0, 0, -distance) Rz(-azimuth) Rx(-tilt) Rz(spin).
void applyOrbitTransform(double distance, double azimuth, double tilt, double spin);
