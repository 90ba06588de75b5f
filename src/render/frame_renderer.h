// One frame of the instance: the overview with the rig sphere in the scene role, an eye view of
// the rig in the camera roles.
#pragma once

// Draws the frame into the back buffer without presenting it: the window's owner draws what goes
// over it and swaps, and a reader can still read the pixels (after a swap the back buffer's
// contents are undefined).
void drawFrame();
