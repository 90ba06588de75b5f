// The mouse handlers that move the overview camera (render/overview_transform.h applies it).
#pragma once

// One pan step per axis once the travel leaves the dead zone of +-2 pixels, scaled by distance.
int panOverview(int dx, int dy);

// Moves the overview away (positive delta) by whole wheel units of 50.
int zoomOverview(int delta);

// Horizontal travel tilts, vertical travel spins, one step per event beyond +-2 pixels.
int rotateOverview(int dx, int dy);
