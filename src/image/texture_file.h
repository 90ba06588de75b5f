// The message-free half of the texture loader, which tests can run without a display.
#pragma once

#include <cstdint>
#include <string>

#include "image/bmp_decoder.h"

struct TextureImage {
  int32_t width;
  int32_t height;
  uint8_t* pixels;  // width * height * 3 bytes, RGB, bottom row first, rows not padded
};

// A real file of the largest image the decoder accepts holds at most 4 bytes a pixel and its
// headers; a file twice that size is taken for no texture at all and never read.
constexpr int64_t kMaxTextureFileBytes = 2 * 4 * kMaxBmpPixels;

// Reads the file into memory and decodes it. On failure returns null and sets *failure to the
// text the loader shows, e.g. "Unknown DIB file format.". Only a regular file of at most
// kMaxTextureFileBytes is opened and read; any other fails as a missing file does, with a line
// on stderr that names it.
TextureImage* readTextureImage(const char* fileName, std::string* failure);

// As readTextureImage, for the images a mesh's materials name: BMP as above, PNG and JPEG
// (image/image_decoder.h). A file that is not read gets "cannot be read", one that does not
// decode "is no BMP, PNG or JPEG image that can be decoded".
TextureImage* readImageFile(const char* fileName, std::string* failure);

// Releases the pixel bytes, then the record. Null is ignored.
void freeTextureImage(TextureImage* image);
