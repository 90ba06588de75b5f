#include "image/frame_capture.h"

#include <GL/gl.h>

#include <cstdlib>

#ifndef GL_BGR
#define GL_BGR 0x80E0
#endif

void captureFrame(CaptureImage* image, int width, int height) {
  image->pixels = nullptr;
  if (width < 0 || height < 0 || width > kMaxCaptureSide || height > kMaxCaptureSide) {
    image->width = image->stride = image->height = 0;
    return;
  }
  image->width = width;
  image->height = height;
  image->stride = strideForWidth(width);
  const size_t bytes = static_cast<size_t>(image->stride) * static_cast<size_t>(height);
  // Zeroed, so that the row padding the read skips goes out as zeros.
  image->pixels = static_cast<uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1));
  if (image->pixels == nullptr || bytes == 0) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, image->pixels);
}

void saveFrame(const char* fileName, int width, int height) {
  CaptureImage image{};
  captureFrame(&image, width, height);
  if (image.pixels == nullptr) return;
  writeBmp(fileName, image);
  freeCaptureImage(&image);
}
