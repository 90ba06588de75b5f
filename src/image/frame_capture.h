// Captured frames: the window's colour buffer read as the pixel array of a bottom-up, 24-bit
// BMP (blue-green-red, rows padded to 4 bytes).
#pragma once

#include <cstdint>

#include "image/bmp_writer.h"

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
