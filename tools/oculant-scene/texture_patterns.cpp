#include "texture_patterns.h"

#include <cstdlib>

#include "image/bmp_writer.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

int luminance(const Rgb& c) {
  return (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
}

Rgb randomColour(RandomStream& random) {
  return {static_cast<uint8_t>(random.below(256)), static_cast<uint8_t>(random.below(256)),
          static_cast<uint8_t>(random.below(256))};
}

// Two colours far enough apart in brightness for a stereo matcher to see the pattern.
void contrastingPair(RandomStream& random, Rgb* a, Rgb* b) {
  *a = randomColour(random);
  for (int attempt = 0; attempt < 16; ++attempt) {
    *b = randomColour(random);
    if (std::abs(luminance(*a) - luminance(*b)) >= 96) return;
  }
  *b = {static_cast<uint8_t>(255 - a->r), static_cast<uint8_t>(255 - a->g),
        static_cast<uint8_t>(255 - a->b)};
}

// weight from 0 (all a) to 256 (all b)
Rgb blend(const Rgb& a, const Rgb& b, int weight) {
  auto mix = [weight](int x, int y) {
    return static_cast<uint8_t>((x * (256 - weight) + y * weight) >> 8);
  };
  return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

class Canvas {
 public:
  explicit Canvas(int side) : side_(side), pixels_(static_cast<size_t>(side) * side * 3) {}
  void set(int x, int y, const Rgb& c) {
    // Wrapped, so that what runs over one edge comes back at the other and the tile repeats.
    x = ((x % side_) + side_) % side_;
    y = ((y % side_) + side_) % side_;
    uint8_t* at = &pixels_[(static_cast<size_t>(y) * side_ + x) * 3];
    at[0] = c.r;
    at[1] = c.g;
    at[2] = c.b;
  }
  void fill(const Rgb& c) {
    for (int y = 0; y < side_; ++y)
      for (int x = 0; x < side_; ++x) set(x, y, c);
  }
  int side() const { return side_; }
  std::vector<uint8_t> take() { return std::move(pixels_); }

 private:
  int side_;
  std::vector<uint8_t> pixels_;
};

void drawDots(RandomStream& random, Canvas* canvas) {
  Rgb background;
  Rgb ink;
  contrastingPair(random, &background, &ink);
  canvas->fill(background);
  const int radius = random.between(1, canvas->side() / 16);
  const int area = canvas->side() * canvas->side();
  const int count = area / ((2 * radius + 1) * (2 * radius + 1) * random.between(2, 4));
  for (int i = 0; i < count; ++i) {
    const int cx = static_cast<int>(random.below(static_cast<uint32_t>(canvas->side())));
    const int cy = static_cast<int>(random.below(static_cast<uint32_t>(canvas->side())));
    // Some dots in a colour of their own, most in the ink.
    const Rgb colour = random.chance(20) ? randomColour(random) : ink;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx)
        if (dx * dx + dy * dy <= radius * radius) canvas->set(cx + dx, cy + dy, colour);
  }
}

// Smooth noise: random values on a coarse wrapping grid, blended with a smoothstep in fixed point.
void drawValueNoise(RandomStream& random, Canvas* canvas) {
  Rgb low;
  Rgb high;
  contrastingPair(random, &low, &high);
  const int cell = 1 << random.between(2, 5);
  const int cells = canvas->side() / cell;
  std::vector<int> grid(static_cast<size_t>(cells) * cells);
  for (int& value : grid) value = static_cast<int>(random.below(257));
  auto at = [&](int gx, int gy) {
    return grid[static_cast<size_t>(gy % cells) * cells + gx % cells];
  };
  auto smooth = [cell](int offset) {  // 0..256 along the cell, eased at both ends
    const int t = offset * 256 / cell;
    return t * t * (768 - 2 * t) / 65536;
  };
  for (int y = 0; y < canvas->side(); ++y) {
    for (int x = 0; x < canvas->side(); ++x) {
      const int gx = x / cell;
      const int gy = y / cell;
      const int sx = smooth(x % cell);
      const int sy = smooth(y % cell);
      const int bottom = at(gx, gy) * (256 - sx) + at(gx + 1, gy) * sx;
      const int top = at(gx, gy + 1) * (256 - sx) + at(gx + 1, gy + 1) * sx;
      canvas->set(x, y, blend(low, high, (bottom * (256 - sy) + top * sy) >> 16));
    }
  }
}

void drawStripes(RandomStream& random, Canvas* canvas) {
  Rgb a;
  Rgb b;
  contrastingPair(random, &a, &b);
  // A period that divides the side keeps the stripes seamless across the tile's edges.
  const int period = 1 << random.between(2, 5);
  const int width = random.between(1, period - 1);
  const int direction = random.between(0, 3);  // along x, along y, and both diagonals
  for (int y = 0; y < canvas->side(); ++y) {
    for (int x = 0; x < canvas->side(); ++x) {
      const int along[] = {x, y, x + y, x - y + canvas->side()};
      canvas->set(x, y, along[direction] % period < width ? a : b);
    }
  }
}

void drawCheckers(RandomStream& random, Canvas* canvas) {
  Rgb a;
  Rgb b;
  contrastingPair(random, &a, &b);
  const int cell = 1 << random.between(1, 5);
  for (int y = 0; y < canvas->side(); ++y)
    for (int x = 0; x < canvas->side(); ++x) canvas->set(x, y, (x / cell + y / cell) % 2 ? a : b);
}

}  // namespace

GeneratedTexture randomTexture(RandomStream& random) {
  struct Pattern {
    const char* name;
    void (*draw)(RandomStream&, Canvas*);
  };
  static const Pattern kPatterns[] = {{"dots", drawDots},
                                      {"value noise", drawValueNoise},
                                      {"stripes", drawStripes},
                                      {"checkers", drawCheckers}};
  const Pattern& pattern = kPatterns[random.below(4)];
  Canvas canvas(64 << random.below(3));
  pattern.draw(random, &canvas);
  return {canvas.side(), canvas.take(), pattern.name};
}

std::vector<uint8_t> textureBmpBytes(const GeneratedTexture& texture) {
  const int32_t stride = strideForWidth(texture.side);
  std::vector<uint8_t> bytes(54 + static_cast<size_t>(stride) * texture.side);
  CaptureImage image = {bytes.data() + 54, texture.side, stride, texture.side, 0};
  bmpHeaders(image, bytes.data());
  for (int32_t y = 0; y < texture.side; ++y) {
    for (int32_t x = 0; x < texture.side; ++x) {
      const uint8_t* rgb = &texture.pixels[(static_cast<size_t>(y) * texture.side + x) * 3];
      uint8_t* bgr = image.pixels + static_cast<size_t>(y) * stride + x * 3;
      bgr[0] = rgb[2];
      bgr[1] = rgb[1];
      bgr[2] = rgb[0];
    }
  }
  return bytes;
}
