// The body of every instance once its window is shown: draws frames and drives the rig in 10 ms
// steps of elapsed time. As a busy loop it draws a frame on every pass; paced (the default, see
// app/loop_pacing.h) it draws one when one is due and the view may have changed (input, a new
// pose or overview, a new size), and between passes waits for input or an instance message, at
// most until the next frame or drive step could be due.
#pragma once

struct Instance;

// Runs the instance's mainWindow until WM_QUIT; returns its wParam, the process exit code.
int runMainLoop(Instance& instance);
