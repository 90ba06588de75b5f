// The class icon of every role: a 32 x 32, 16-colour image kept as XPM text in resources/.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// An image decoded from XPM: rows from the top, 0xAARRGGBB pixels ("None" is transparent).
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Decodes an XPM image with one character per pixel and colours given as "#RRGGBB" or
// "None". False for anything else or a truncated image.
bool decodeXpm(const char* const* lines, int lineCount, IconImage* image);

// The decoded icon of the bench; a 0 x 0 image if its resource were broken.
const IconImage& windowIconImage();

// The icon in the form the window class takes.
WindowIcon windowIcon();
