// Captured frames: the window's colour buffer read as the pixel array of a bottom-up, 24-bit
// BMP (blue-green-red, rows padded to 4 bytes), and that array written as a BMP file.
#pragma once

#include <cstdint>

#include "wire/wire_format.h"  // strideForWidth

struct CaptureImage {
  uint8_t* pixels;  // stride * height bytes from malloc; the caller frees (freeCaptureImage)
  int32_t width;
  int32_t stride;  // width * 3 rounded up to a multiple of 4
  int32_t height;
  uint32_t reserved;  // travels as the last word of the frame header; the capture leaves it
};

// Frames beyond this many pixels per side are not captured.
constexpr int32_t kMaxCaptureSide = 16384;

// Reads the lower-left width x height pixels of the current GL context's read buffer.
// Sets width, stride and height and leaves reserved alone. Row padding bytes are zero. When the
// buffer can't be had (no memory, a negative or oversized side) pixels is null; a 0 x 0 frame
// still gets a (one-byte) buffer, so a null pixels always means failure.
void captureFrame(CaptureImage* image, int width, int height);

// Captures the frame and writes it with writeBmp. Nothing is reported; when the capture fails,
// nothing is written.
void saveFrame(const char* fileName, int width, int height);

// Writes a 54-byte header and the stride * height pixel bytes to a new file in fileName's folder
// and renames it to fileName. Whatever stood at the name (a file, a link, a FIFO) is replaced,
// never opened, so a link's target stays as it was. Returns 0 when the whole file was written,
// 1 with errno telling why when it can't be (the image unusable, the folder not writable, the
// disk full, a folder at the name); the name then keeps what it had and no temporary file
// remains. Never frees pixels.
int writeBmp(const char* fileName, CaptureImage image);

// Frees the pixel buffer and sets pixels to null.
void freeCaptureImage(CaptureImage* image);
