// Decoding of the image formats a mesh's materials may name: PNG and JPEG through the system's
// decoder, everything else through our own BMP decoder. Pure code over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bmp_decoder.h"

// The same limits as for BMP files (kMaxBmpSide, kMaxBmpPixels) hold for every format, checked
// on the file's header before any pixel is decoded. The result is as decodeBmp gives it: tight
// RGB rows, bottom row first. A PNG or JPEG that cannot be decoded is a CONVERSION_ERROR.
BmpStatus decodeImage(const uint8_t* bytes, size_t length, DecodedBmp* image);
