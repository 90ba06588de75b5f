// The message-free half of the texture loader, which tests can run without a display.
#pragma once

#include <string>

#include "image/texture_loader.h"

// Maps the file read-only and decodes it. On failure returns null and sets *failure to the
// text the loader shows, e.g. "Unknown DIB file format.".
TextureImage* readTextureImage(const char* fileName, std::string* failure);
