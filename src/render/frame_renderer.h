// One frame of the instance: the overview with the rig sphere in the scene role, an eye view of
// the rig in the camera roles.
#pragma once

struct CameraView;

// Draws the view into the back buffer without presenting it: the window's owner draws what goes
// over it and swaps, and a reader can still read the pixels (after a swap the back buffer's
// contents are undefined).
void drawFrame(const CameraView& view);

// Draws the same view into the back buffer with every object that drawFrame shows in a flat
// colour encoding its 1-based number in the scene (image/object_id_capture.h), the rest 0. It
// changes no GL state, so the next drawFrame draws exactly as it would have; what the back
// buffer held is lost, as with any drawing.
void drawObjectIds(const CameraView& view);
