// A frame's pixels as the pixel array of a bottom-up, 24-bit BMP (blue-green-red, rows padded
// to 4 bytes), and that array written as a BMP file.
#pragma once

#include <cstdint>
#include <string>

#include "wire/wire_format.h"  // strideForWidth

struct CaptureImage {
  uint8_t* pixels;  // stride * height bytes from malloc; the caller frees (freeCaptureImage)
  int32_t width;
  int32_t stride;  // width * 3 rounded up to a multiple of 4
  int32_t height;
  uint32_t reserved;  // never set by the capture; the frame header sends 0 in its place
};

// Replaces the file at fileName with a 54-byte header and the stride * height pixel bytes, whole
// or not at all (the platform's replaceFile). Whatever stood at the name (a file, a link, a FIFO)
// is replaced, never opened, so a link's target stays as it was. Returns 0 when the whole file
// was written, 1 with *reason (when given) telling why when it can't be (the image unusable, the
// folder not writable, the disk full, a folder at the name); the name then keeps what it had and
// no temporary file remains. Never frees pixels.
int writeBmp(const char* fileName, CaptureImage image, std::string* reason = nullptr);

// The 54 header bytes that go before the image's pixel array in a BMP file; false (header
// untouched) when the image is unusable, as writeBmp refuses it.
bool bmpHeaders(const CaptureImage& image, uint8_t header[54]);

// Frees the pixel buffer and sets pixels to null.
void freeCaptureImage(CaptureImage* image);
