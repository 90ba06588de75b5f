// The one translation unit that holds the system's PNG and JPEG decoder. Only those two formats
// are compiled in, and it reads from memory only: files are read by the platform layer's rules.
#include "image/bmp_decoder.h"

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS kMaxBmpSide
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"
