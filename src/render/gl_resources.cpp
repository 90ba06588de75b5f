#include "render/gl_resources.h"

#include <cstring>

GlResources glResources;
uint32_t TextureSlots[kTextureSlotCapacity];

void resetGlResources() {
  std::memset(&glResources, 0, sizeof glResources);
  std::memset(TextureSlots, 0, sizeof TextureSlots);
}
