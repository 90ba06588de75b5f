#include "app/paint.h"

#include "platform/platform.h"
#include "render/frame_renderer.h"
#include "render/gl_resources.h"

void paintFrame(const CameraView& view) {
  drawFrame(view);
  // The panel goes over the finished frame, in the same back buffer.
  drawInfoPanel();
  swapBuffers(glResources.deviceContext);
}
