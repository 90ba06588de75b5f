// The overview camera: its model-view transforms and the mouse handlers that move it.
#pragma once

// Multiplies the current matrix by Rz(rz) Ry(ry) Rx(rx) T(-tx, -ty, -tz), angles in degrees.
void applyPanTransform(double tx, double ty, double tz, double rz, double ry, double rx);

// Multiplies the current matrix by T(0, 0, -distance) Rz(-azimuth) Rx(-tilt) Rz(spin).
void applyOrbitTransform(double distance, double azimuth, double tilt, double spin);

// One pan step per axis once the travel leaves the dead zone of +-2 pixels, scaled by distance.
int panOverview(int dx, int dy);

// Moves the overview away (positive delta) by whole wheel units of 50.
int zoomOverview(int delta);

// Horizontal travel tilts, vertical travel spins, one step per event beyond +-2 pixels.
int rotateOverview(int dx, int dy);
