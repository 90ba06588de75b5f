#include "render/texture_upload.h"

#include <GL/gl.h>

#include <cstring>

#include "image/texture_loader.h"
#include "render/gl_resources.h"
#include "scene/scene_state.h"

void uploadTextures(InstanceRole role, SceneModel* scene,
                    TextureImage* imageSlots[kImageSlotCapacity]) {
  const int count = scene->objectCount < kMaxSceneObjects ? scene->objectCount : kMaxSceneObjects;
  if (count <= 0) return;
  glGenTextures(count, TextureSlots);

  // Tight rows of any width (3 bytes per pixel) need an unpack alignment of 1.
  GLint savedAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < count; ++i) {
    SceneObject& object = scene->objects[i];
    // A mesh's images are its materials' (render/mesh_slots.h); its file is no image.
    if (!object.textured || object.kind == OBJECT_MESH) continue;
    object.textureSlot = i;
    glBindTexture(GL_TEXTURE_2D, TextureSlots[i]);
    char fileName[kFileNameSize + 1];
    std::memcpy(fileName, object.fileName, kFileNameSize);
    fileName[kFileNameSize] = '\0';
    // All three instances read the same files: the scene says on stderr what fails, once for
    // the bench, while each still shows its box.
    imageSlots[i] =
        loadTextureImage(fileName, role == ROLE_SCENE ? MessageEcho::STDERR : MessageEcho::QUIET);
    TextureImage* image = imageSlots[i];
    if (image == nullptr) continue;
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image->pixels);
    freeTextureImage(image);
    imageSlots[i] = nullptr;  // no dangling pointer left behind
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
}
