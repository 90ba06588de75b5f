// Pacing of the main loop. Without a display's vertical sync the loop would draw as fast as it
// can and burn a whole core per instance; paced, an idle pass waits for input or an instance
// message for at most one frame interval, and a pass that took a message never waits.
#pragma once

#include <cstdint>

// About 60 frames per second while nothing happens.
constexpr uint32_t kFrameIntervalMs = 16;

// True unless OCULANT_PACING is "off" or "0", which gives the busy loop of old.
bool loopPacingEnabled();

// How long an idle pass that began at passStart may wait at time now: what is left of the
// frame interval and, while the rig is driven, no longer than until the next 10 ms step is
// due (elapsed time since reference above 10 ms). All times are wrapping milliseconds.
int pacedWaitMs(uint32_t passStart, uint32_t now, bool driving, uint32_t reference);
