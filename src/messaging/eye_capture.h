// What a camera hands out of its frame, to a requester or to a saved file: the frame as drawn,
// with the rig's sensor noise when the scene sets one. The window itself always shows the frame
// without noise, and depth never gets any.
#pragma once

#include "image/bmp_writer.h"
#include "messaging/frame_source.h"

// Captures the view's size from the back buffer the view was just drawn into and adds the noise
// of the view's eye at its pose. pixels stays null when the capture fails.
void captureEyeFrame(FrameSource& source, const CameraView& view, CaptureImage* image);
