// The body of every instance once its window is shown: draws frames and drives the rig in 10 ms
// steps of elapsed time. As a busy loop it draws a frame on every pass; paced (the default, see
// app/loop_pacing.h) it draws one when one is due and the view may have changed (input, a new
// pose or overview, a new size), and between passes waits for input or an instance message, at
// most until the next frame or drive step could be due.
#pragma once

#include <cstdint>

// Runs until WM_QUIT; returns its wParam, the process exit code.
int runMainLoop();

// One drive step: 0.05 along the heading, the new position to both cameras, then the log.
void advanceRig();

// The 10 ms steps that the time from reference to now (unsigned, so a wrapping counter works)
// allows. At most 10 ms elapsed gives 0 steps and the reference stays as it was; otherwise
// the steps are taken while more than 10 ms remain, and *remainder gets what is left
// (1 to 10 ms) to carry into the next reference.
int countDriveSteps(uint32_t reference, uint32_t now, uint32_t* remainder);
