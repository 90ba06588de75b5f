// BI_RLE8 and BI_RLE4 streams, as the BMP format defines them: pairs of (count, value) that
// repeat a colour index, and escapes after a zero count: 0 end of line, 1 end of bitmap,
// 2 delta (move right and up), 3..255 an absolute run of that many indices, padded to a
// 16-bit boundary. Rows run bottom-up.
#include "image/bmp_rle.h"

#include <cstring>

namespace {

// Where the next pixel goes. Encoders such as ImageMagick's fill whole padded rows (a multiple
// of 4 bytes), so runs may reach into the row padding; those pixels are dropped. A run beyond
// the padded row or above the top row is refused.
struct RlePen {
  const BmpPalette& palette;
  int64_t width;
  int64_t paddedWidth;
  int64_t height;
  uint8_t* rgb;
  int64_t x = 0;
  int64_t y = 0;

  bool fits(int64_t count) const { return y < height && x + count <= paddedWidth; }
  void put(int index) {
    if (x < width) std::memcpy(rgb + (y * width + x) * 3, palette.rgb[index], 3);
    ++x;
  }
};

// The index of pixel i of a run: a byte in RLE8; in RLE4, high and low nibble by turns.
int indexInRun(int bitCount, uint8_t value, int64_t i) {
  if (bitCount == 8) return value;
  return i % 2 == 0 ? value >> 4 : value & 0x0F;
}

}  // namespace

BmpStatus decodeBmpRle(const uint8_t* data, size_t size, int bitCount, const BmpPalette& palette,
                       int32_t width, int32_t height, uint8_t* rgb) {
  const int64_t pixelsPerWord = 32 / bitCount;
  const int64_t paddedWidth = (width + pixelsPerWord - 1) / pixelsPerWord * pixelsPerWord;
  RlePen pen{palette, width, paddedWidth, height, rgb};
  size_t pos = 0;
  for (;;) {
    // A stream may end without its end-of-bitmap mark once every row is done.
    if (size - pos < 2) return pen.y >= height ? BmpStatus::OK : BmpStatus::CONVERSION_ERROR;
    const uint8_t count = data[pos];
    const uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (!pen.fits(count)) return BmpStatus::CONVERSION_ERROR;
      for (int64_t i = 0; i < count; ++i) pen.put(indexInRun(bitCount, value, i));
    } else if (value == 0) {
      pen.x = 0;
      ++pen.y;
    } else if (value == 1) {
      return BmpStatus::OK;
    } else if (value == 2) {
      if (size - pos < 2) return BmpStatus::CONVERSION_ERROR;
      pen.x += data[pos];
      pen.y += data[pos + 1];
      pos += 2;
      if (pen.x > paddedWidth || pen.y > height) return BmpStatus::CONVERSION_ERROR;
    } else {
      const size_t bytes = bitCount == 8 ? value : (value + 1u) / 2;
      if (size - pos < bytes || !pen.fits(value)) return BmpStatus::CONVERSION_ERROR;
      for (int64_t i = 0; i < value; ++i) {
        pen.put(indexInRun(bitCount, data[pos + static_cast<size_t>(i * bitCount / 8)], i));
      }
      // The padding byte after an odd run may be missing at the very end of the file.
      pos += bytes + (bytes & 1);
      if (pos > size) pos = size;
    }
  }
}
