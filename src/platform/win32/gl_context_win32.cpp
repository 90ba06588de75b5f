// GL on Windows: WGL contexts on the windows' own device contexts (their classes are CS_OWNDC,
// so a context stays valid on the same device context for the window's whole life).
#include "platform/platform.h"

HDC getDC(HWND window) {
  return window != nullptr ? GetDC(window) : nullptr;
}

void releaseDC(HWND window, HDC deviceContext) {
  if (deviceContext != nullptr) ReleaseDC(window, deviceContext);
}

bool setPixelFormat(HDC deviceContext, const PixelFormatRequest& request) {
  if (deviceContext == nullptr) return false;
  PIXELFORMATDESCRIPTOR wanted = {};
  wanted.nSize = sizeof wanted;
  wanted.nVersion = 1;
  wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  if (request.doubleBuffered) wanted.dwFlags |= PFD_DOUBLEBUFFER;
  wanted.iPixelType = PFD_TYPE_RGBA;
  wanted.cColorBits = static_cast<BYTE>(request.colorBits);
  // The deepest buffer to be had, as a window of the SDL backend gets: the closest match to 32
  // bits is 24 where the driver has no deeper one, and then passes the check below.
  wanted.cDepthBits = static_cast<BYTE>(request.depthBits > 32 ? request.depthBits : 32);
  wanted.iLayerType = PFD_MAIN_PLANE;
  const int format = ChoosePixelFormat(deviceContext, &wanted);
  if (format == 0) return false;
  // ChoosePixelFormat gives the closest match, which may fall short of the request.
  PIXELFORMATDESCRIPTOR chosen = {};
  DescribePixelFormat(deviceContext, format, sizeof chosen, &chosen);
  const int colourBits = chosen.cRedBits + chosen.cGreenBits + chosen.cBlueBits;
  if (colourBits < request.colorBits || chosen.cDepthBits < request.depthBits) return false;
  if (request.doubleBuffered && !(chosen.dwFlags & PFD_DOUBLEBUFFER)) return false;
  return SetPixelFormat(deviceContext, format, &chosen) != FALSE;
}

HGLRC createGlContext(HDC deviceContext) {
  return deviceContext != nullptr ? wglCreateContext(deviceContext) : nullptr;
}

bool makeCurrent(HDC deviceContext, HGLRC renderContext) {
  if (renderContext == nullptr) return wglMakeCurrent(nullptr, nullptr) != FALSE;
  return wglMakeCurrent(deviceContext, renderContext) != FALSE;
}

void deleteGlContext(HGLRC renderContext) {
  if (renderContext == nullptr) return;
  if (wglGetCurrentContext() == renderContext) wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(renderContext);
}

void swapBuffers(HDC deviceContext) {
  if (deviceContext != nullptr) SwapBuffers(deviceContext);
}
