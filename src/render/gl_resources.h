// The window's GL objects: its context and the names the renderer draws with. One instance
// draws into one window, so these are plain module-level records, zero at start.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr int kTextureSlotCapacity = 31;

// deviceContext is the window the context draws into and renderContext the GL context; both
// are opaque platform handles, 0 when absent.
struct GlResources {
  HDC deviceContext;
  HGLRC renderContext;
  uint32_t fontListBase;
  float aspect;
};

extern GlResources glResources;
extern uint32_t TextureSlots[kTextureSlotCapacity];  // GL texture names, entry i for object i

// Zeroes both, as at process start. Tests use it between cases.
void resetGlResources();
