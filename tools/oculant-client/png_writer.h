// A minimal PNG encoder for camera frames: 8-bit RGB, no interlace, every row unfiltered.
#pragma once

#include <cstdint>
#include <string>

// The bottom-up BGR rows of stride bytes as the bytes of a top-down RGB PNG file; empty when
// the frame is empty or cannot be compressed.
std::string encodePng(const uint8_t* pixels, int32_t width, int32_t stride, int32_t height);

// Writes the bottom-up BGR rows of stride bytes as a top-down RGB PNG file. Returns false
// when the file can't be written (a partial file is removed).
bool writePng(const char* fileName, const uint8_t* pixels, int32_t width, int32_t stride,
              int32_t height);
