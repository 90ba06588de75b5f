#include "image/texture_loader.h"

#include <string>

#include "platform/platform.h"

TextureImage* loadTextureImage(const char* fileName, MessageEcho echo) {
  std::string failure;
  TextureImage* image = readTextureImage(fileName, &failure);
  if (image == nullptr) showMessageBox(failure.c_str(), "Error", MessageBoxIcon::PLAIN, echo);
  return image;
}
