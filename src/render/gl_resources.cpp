#include "render/gl_resources.h"

GlResources glResources;
uint32_t TextureSlots[kTextureSlotCapacity];
