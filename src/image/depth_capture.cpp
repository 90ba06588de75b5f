#include "image/depth_capture.h"

#include <GL/gl.h>

#include <cstddef>

#include "image/frame_capture.h"

bool captureDepth(std::vector<float>* depth, int width, int height, double nearPlane,
                  double farPlane) {
  depth->clear();
  if (width < 0 || height < 0 || width > kMaxCaptureSide || height > kMaxCaptureSide) return false;
  depth->resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (depth->empty()) return true;
  // Floats fill whole rows, so no row padding whatever the width.
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth->data());
  for (float& value : *depth) {
    value = static_cast<float>(metricDepth(value, nearPlane, farPlane));
  }
  return true;
}

int depthBufferBits() {
  GLint bits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  return bits;
}
