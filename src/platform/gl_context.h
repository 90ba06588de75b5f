// The GL context of a window: the stand-ins for GetDC, the pixel format, the WGL context
// calls and SwapBuffers.
#pragma once

#include <cstdint>

#include "platform/win32.h"

using HDC = uintptr_t;    // the window that a context draws into; 0 means none
using HGLRC = uintptr_t;  // a GL context; 0 means none

struct PixelFormatRequest {
  int colorBits;  // red + green + blue bits asked for
  int depthBits;
  bool doubleBuffered;
};

HDC getDC(HWND window);
void releaseDC(HWND window, HDC deviceContext);

// Gives the window a pixel format at least as good as the request. False when none can be had.
bool setPixelFormat(HDC deviceContext, const PixelFormatRequest& request);

HGLRC createGlContext(HDC deviceContext);
bool makeCurrent(HDC deviceContext, HGLRC renderContext);
void deleteGlContext(HGLRC renderContext);
void swapBuffers(HDC deviceContext);
