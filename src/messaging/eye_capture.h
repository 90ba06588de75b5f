// What a camera hands out of its frame, to a requester or to a saved file: the frame as drawn,
// with the rig's sensor noise when the scene sets one. The window itself always shows the frame
// without noise, and depth never gets any.
#pragma once

#include "image/bmp_writer.h"
#include "scene/camera_view.h"

// Captures the view's size from the back buffer the view was just drawn into, as captureFrame
// does (image/frame_capture.h), and adds the noise of the view's eye at its pose.
void captureEyeFrame(const CameraView& view, CaptureImage* image);
