// Pacing of the main loop. Without a display's vertical sync the loop would draw as fast as it
// can and burn a whole core per instance; paced, an idle pass waits for input or an instance
// message until the next frame could be due, and a pass that took a message never waits.
#pragma once

#include <cstdint>

// At most about 60 frames per second, drawn only when the view may have changed ...
constexpr uint32_t kFrameIntervalMs = 16;
// ... and at least 4 per second whatever happens, for anything that changes the picture
// unnoticed.
constexpr uint32_t kIdleRefreshMs = 250;

// True unless OCULANT_PACING is "off" or "0", which gives the busy loop of old.
bool loopPacingEnabled();

// How long an idle pass may wait at time now when the last frame was drawn at lastFrame: until
// the next frame could be due, or when it is due already (nothing called for it), up to one
// more frame interval but not past the refresh after kIdleRefreshMs. While the rig is driven,
// no longer than until the next 10 ms step is due (elapsed time since reference above 10 ms).
// All times are wrapping milliseconds.
int pacedWaitMs(uint32_t lastFrame, uint32_t now, bool driving, uint32_t reference);
