// Putting a frame on the window.
#pragma once

struct CameraView;

// Draws the view, the info panel over it (only the scene window has one) and swaps the result
// to the front.
void paintFrame(const CameraView& view);
