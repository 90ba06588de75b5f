// A hidden SDL window with a current double-buffered GL context, standing in for the bench's
// window so that render and image code can be driven and its pixels read back.
#pragma once

#include <cstdint>
#include <vector>

class GlTestWindow {
 public:
  // Makes the window and its context current and records them in glResources.
  GlTestWindow(int width, int height);
  ~GlTestWindow();
  GlTestWindow(const GlTestWindow&) = delete;
  GlTestWindow& operator=(const GlTestWindow&) = delete;

  bool ok() const { return context_ != nullptr; }

  // The back buffer as RGB rows, bottom row first, tightly packed.
  std::vector<uint8_t> readBackBuffer() const;

 private:
  int width_;
  int height_;
  void* window_ = nullptr;
  void* context_ = nullptr;
};

// One pixel of an image from readBackBuffer.
struct Pixel {
  int r, g, b;
};
Pixel pixelAt(const std::vector<uint8_t>& image, int width, int x, int y);
