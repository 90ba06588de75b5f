// A camera's last captured frame, kept together with everything its pixels were drawn from.
// Drawing a frame costs far more than sending it, and a camera's view depends only on its
// role, the rig pose, the overview values and the client size: while none of those changed,
// the frame drawn again would be byte for byte the one kept, so it is answered from memory.
#pragma once

#include <memory>

#include "image/frame_capture.h"

// The frame the window shows for a width x height client area, with the rig's sensor noise
// (messaging/eye_capture.h): the kept one when nothing it depends on changed, else a fresh one
// (drawn into the back buffer and read). Null when the
// capture failed. Shared: a send still under way keeps its frame whole while a newer one
// replaces it here.
std::shared_ptr<const CaptureImage> latestFrame(int width, int height);

// Lets go of the kept frame; the next latestFrame draws and reads again.
void forgetLatestFrame();
