#include "app/gl_frame_source.h"

#include "image/frame_capture.h"
#include "render/frame_renderer.h"

namespace {

class GlFrameSource : public FrameSource {
 public:
  void draw(const CameraView& view) override { drawFrame(view); }
  void capture(CaptureImage* image, int width, int height) override {
    captureFrame(image, width, height);
  }
  void release(CaptureImage* image) override { freeCaptureImage(image); }
};

}  // namespace

FrameSource& glFrameSource() {
  static GlFrameSource source;
  return source;
}
