// The message-free half of the texture loader, which tests can run without a display.
#pragma once

#include <string>

#include "image/bmp_decoder.h"
#include "image/texture_loader.h"

// A real file of the largest image the decoder accepts holds at most 4 bytes a pixel and its
// headers; a file twice that size is taken for no texture at all and never mapped.
constexpr int64_t kMaxTextureFileBytes = 2 * 4 * kMaxBmpPixels;

// Maps the file read-only and decodes it. On failure returns null and sets *failure to the
// text the loader shows, e.g. "Unknown DIB file format.". Only a regular file of at most
// kMaxTextureFileBytes is opened and mapped; any other fails as a missing file does, with a line
// on stderr that names it.
TextureImage* readTextureImage(const char* fileName, std::string* failure);
