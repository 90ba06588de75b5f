#include "image/texture_loader.h"

#include <string>

#include "image/texture_file.h"
#include "platform/platform.h"
#include "scene/scene_state.h"

TextureImage* loadTextureImage(const char* fileName) {
  std::string failure;
  TextureImage* image = readTextureImage(fileName, &failure);
  if (image == nullptr) showMessageBox(failure.c_str(), "Error", MESSAGE_BOX_PLAIN);
  return image;
}
