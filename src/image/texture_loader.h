// BMP textures: loading an image file into tight RGB rows and uploading every textured
// object's image into its GL texture name.
#pragma once

#include <cstdint>

struct TextureImage {
  int32_t width;
  int32_t height;
  uint8_t* pixels;  // width * height * 3 bytes, RGB, bottom row first, rows not padded
};

// Reads a BMP file or bare DIB. On failure shows one "Error" message box and returns null.
TextureImage* loadTextureImage(const char* fileName);

// Releases the pixel bytes, then the record. Null is ignored.
void freeTextureImage(TextureImage* image);

// Generates objectCount texture names into TextureSlots (at most kMaxSceneObjects) and uploads
// the image of every textured object into the name of its own index. A file that fails to
// load leaves its name without an image. Needs the window's GL context to be current.
void uploadTextures();
