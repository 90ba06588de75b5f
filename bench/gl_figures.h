// Rendering and read-back figures of one window drawn in this process, as a role of the bench
// would draw it, from the config.txt of the current folder.
#pragma once

#include "scene/scene_state.h"

struct GlFigures {
  double framesPerSecond;    // drawFrame + swap, as the main loop does every pass
  double emptyPerSecond;     // clear + swap of the same window: the floor of a frame
  double readsPerSecond;     // glReadPixels of the drawn frame plus one copy: the fetch floor
  double verticesPerFrame;   // glVertex calls of one frame
  double idPassesPerSecond;  // the object ids drawn over the frame and read: the id pass floor
};

// False when no GL window could be made.
bool measureGl(InstanceRole asRole, int width, int height, double seconds, GlFigures* out);

// The id pass alone, as a camera adds it to a capture, in a window of its own: the object ids of
// the camera's view drawn and read per second. 0 when no GL window could be made.
double measureIdPass(int width, int height, double seconds);

// Opens a window, draws and reads one frame, closes it: the floor of a start-up.
bool openDrawReadOnce(int width, int height);

// Prints the GL vendor, renderer and version a window of this process gets.
bool printRenderer();
