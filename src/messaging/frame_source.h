// How the message handlers reach the renderer and the frame buffer. The application hands in the
// real ones when its window is made (app/gl_frame_source.h, setFrameSource in
// messaging/latest_frame.h); a test hands in its own. The messaging libraries link neither the
// renderer nor GL for this.
#pragma once

#include "image/bmp_writer.h"
#include "scene/camera_view.h"

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Draws the view into the back buffer without presenting it.
  virtual void draw(const CameraView& view) = 0;
  // Reads the lower-left width x height pixels of the back buffer as captureFrame does
  // (image/frame_capture.h): pixels stays null when they can't be had.
  virtual void capture(CaptureImage* image, int width, int height) = 0;
  // Gives back the pixels of a capture.
  virtual void release(CaptureImage* image) = 0;
};
