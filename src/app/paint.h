// Putting a frame on the window.
#pragma once

// Draws the frame, the info panel over it (only the scene window has one) and swaps the result
// to the front.
void paintFrame();
