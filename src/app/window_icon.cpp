#include "app/window_icon.h"

#include <cstdio>
#include <cstring>

namespace {

#include "window_icon.xpm"

bool decodeColour(const char* text, uint32_t* colour) {
  if (std::strcmp(text, "None") == 0) {
    *colour = 0;
    return true;
  }
  unsigned int rgb = 0;
  int consumed = 0;
  if (text[0] != '#' || std::strlen(text) != 7 ||
      std::sscanf(text + 1, "%6x%n", &rgb, &consumed) != 1 || consumed != 6) {
    return false;
  }
  *colour = 0xFF000000u | rgb;
  return true;
}

}  // namespace

bool decodeXpm(const char* const* lines, int lineCount, IconImage* image) {
  int width = 0, height = 0, colours = 0, charsPerPixel = 0;
  if (lineCount < 1 ||
      std::sscanf(lines[0], "%d %d %d %d", &width, &height, &colours, &charsPerPixel) != 4) {
    return false;
  }
  if (width <= 0 || height <= 0 || width > 256 || height > 256 || colours <= 0 || colours > 256 ||
      charsPerPixel != 1 || lineCount < 1 + colours + height) {
    return false;
  }
  uint32_t palette[256] = {};
  bool known[256] = {};
  for (int i = 0; i < colours; ++i) {
    const char* entry = lines[1 + i];
    char value[16];
    if (std::strlen(entry) < 5 || entry[1] != ' ' || entry[2] != 'c' || entry[3] != ' ' ||
        std::sscanf(entry + 4, "%15s", value) != 1) {
      return false;
    }
    unsigned char key = static_cast<unsigned char>(entry[0]);
    if (!decodeColour(value, &palette[key])) return false;
    known[key] = true;
  }
  std::vector<uint32_t> pixels;
  pixels.reserve(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const char* row = lines[1 + colours + y];
    if (static_cast<int>(std::strlen(row)) != width) return false;
    for (int x = 0; x < width; ++x) {
      unsigned char key = static_cast<unsigned char>(row[x]);
      if (!known[key]) return false;
      pixels.push_back(palette[key]);
    }
  }
  image->width = width;
  image->height = height;
  image->pixels.swap(pixels);
  return true;
}

const IconImage& windowIconImage() {
  static const IconImage image = [] {
    IconImage decoded;
    int lineCount = static_cast<int>(sizeof windowIconXpm / sizeof windowIconXpm[0]);
    if (!decodeXpm(windowIconXpm, lineCount, &decoded)) decoded = IconImage();
    return decoded;
  }();
  return image;
}

WindowIcon windowIcon() {
  const IconImage& image = windowIconImage();
  return WindowIcon{image.width, image.height, image.pixels.data()};
}
