// BMP textures for the window: a file that cannot be read is reported in a message box.
#pragma once

#include "image/texture_file.h"
#include "platform/platform.h"

// Reads a BMP file or bare DIB. On failure shows one "Error" message box (its text on stderr
// as echo says) and returns null.
TextureImage* loadTextureImage(const char* fileName, MessageEcho echo = MessageEcho::STDERR);
