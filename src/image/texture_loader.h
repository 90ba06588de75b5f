// BMP textures for the window: a file that cannot be read is reported in a message box.
#pragma once

#include "image/texture_file.h"

// Reads a BMP file or bare DIB. On failure shows one "Error" message box and returns null.
TextureImage* loadTextureImage(const char* fileName);
