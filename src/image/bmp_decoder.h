// Decoding of BMP files and bare DIBs held in memory into tight 24-bit RGB rows.
// Pure code: no file access, no GL, no messages. Every offset, count and row is checked
// against the given length, so a short or lying file is refused instead of read past its end.
#pragma once

#include <cstddef>
#include <cstdint>

enum class BmpStatus {
  OK,
  UNKNOWN_FORMAT,    // an info header of another size than 12 or 40 bytes
  CONVERSION_ERROR,  // short, lying, oversized or undecodable image data
  OUT_OF_MEMORY,
};

// Sides beyond this, or more pixels than kMaxBmpPixels, are refused before any allocation:
// an RLE file of a few bytes may otherwise claim gigabytes of pixels.
constexpr int32_t kMaxBmpSide = 16384;
constexpr int64_t kMaxBmpPixels = int64_t{1} << 26;

struct DecodedBmp {
  int32_t width;
  int32_t height;  // always positive: top-down files are turned bottom-up
  uint8_t* rgb;    // width * height * 3 bytes from malloc, bottom row first; the caller frees
};

// Accepts a BMP file ("BM" and a 14-byte file header) or a bare DIB; 12- and 40-byte info
// headers; BI_RGB at 1, 4, 8, 16, 24, 32 bits, BI_RLE8, BI_RLE4 and 16/32-bit BI_BITFIELDS.
// Palette indices beyond the colour table, and pixels an RLE stream skips, come out black.
// On failure image->rgb is null and nothing is left allocated.
BmpStatus decodeBmp(const uint8_t* bytes, size_t length, DecodedBmp* image);
