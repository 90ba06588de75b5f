// The scene's textures on the GL side: one texture name per object, each textured object's
// image uploaded into the name of its own index.
#pragma once

#include "scene/scene_state.h"

struct TextureImage;

// Generates objectCount texture names into TextureSlots (at most kMaxSceneObjects) and uploads
// the image of every textured object of *scene into the name of its own index, setting its
// textureSlot; each image passes through imageSlots on its way and is gone after. A file that
// fails to load leaves its name without an image, and only the scene role echoes the failure on
// stderr. Needs the window's GL context to be current.
void uploadTextures(InstanceRole role, SceneModel* scene,
                    TextureImage* imageSlots[kImageSlotCapacity]);
