// The mouse handlers that move the overview camera (render/overview_transform.h applies it).
#pragma once

#include "scene/scene_state.h"

// One pan step per axis once the travel leaves the dead zone of +-2 pixels, scaled by distance.
int panOverview(OverviewView* view, int dx, int dy);

// Moves the overview away (positive delta) by whole wheel units of 50.
int zoomOverview(OverviewView* view, int delta);

// Horizontal travel tilts, vertical travel spins, one step per event beyond +-2 pixels.
int rotateOverview(OverviewView* view, int dx, int dy);
