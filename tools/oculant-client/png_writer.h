// A minimal PNG encoder for camera frames (8-bit RGB) and for per-pixel maps (8- and 16-bit
// grey): no interlace, every row unfiltered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The bottom-up BGR rows of stride bytes as the bytes of a top-down RGB PNG file; empty when
// the frame is empty or cannot be compressed.
std::string encodePng(const uint8_t* pixels, int32_t width, int32_t stride, int32_t height);

// Writes the bottom-up BGR rows of stride bytes as a top-down RGB PNG file. Returns false
// when the file can't be written (a partial file is removed).
bool writePng(const char* fileName, const uint8_t* pixels, int32_t width, int32_t stride,
              int32_t height);

// Writes width x height values, the bottom row first, as a greyscale PNG of 8 or 16 bits per
// pixel. False when values does not hold exactly that many or the file can't be written.
bool writeGreyPng(const char* fileName, const std::vector<uint8_t>& values, int32_t width,
                  int32_t height);
bool writeGreyPng16(const char* fileName, const std::vector<uint16_t>& values, int32_t width,
                    int32_t height);
