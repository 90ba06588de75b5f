// What a camera hands out of its frame, to a requester or to a saved file: the frame as drawn,
// with the rig's sensor noise when the scene sets one. The window itself always shows the frame
// without noise, and depth never gets any.
#pragma once

#include "image/bmp_writer.h"

// Captures the current GL read buffer as captureFrame does (image/frame_capture.h) and adds the
// noise of this eye at the current rig pose.
void captureEyeFrame(CaptureImage* image, int width, int height);
