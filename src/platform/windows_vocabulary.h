// The Windows message vocabulary that the application code speaks. On Windows it is the real
// one from <windows.h>; elsewhere the platform layer turns SDL events and instance messages into
// these messages, and the window procedure is plain code that tests can feed directly.
#pragma once

#include <cstdint>

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <windowsx.h>

// A handle travels in a wParam as its bits; the system rejects a value that is no window.
inline HWND windowFromWParam(WPARAM value) {
  return reinterpret_cast<HWND>(value);
}

// The descriptor's payload pointer is not const on Windows, though the receiver only reads it.
inline COPYDATASTRUCT makeCopyData(uintptr_t code, uint32_t length, const void* payload) {
  return COPYDATASTRUCT{code, length, const_cast<void*>(payload)};
}

#else

// A window handle: a number unique on this machine while its window lives; 0 means none.
using HWND = uint32_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr UINT WM_CREATE = 1;
constexpr UINT WM_DESTROY = 2;
constexpr UINT WM_SIZE = 5;
constexpr UINT WM_PAINT = 15;
constexpr UINT WM_CLOSE = 16;
constexpr UINT WM_QUIT = 18;
constexpr UINT WM_COPYDATA = 74;
constexpr UINT WM_KEYDOWN = 256;
constexpr UINT WM_KEYUP = 257;
constexpr UINT WM_SYSKEYDOWN = 260;  // F10, Alt itself, and keys pressed while Alt is held
constexpr UINT WM_SYSKEYUP = 261;
constexpr UINT WM_MOUSEMOVE = 512;
constexpr UINT WM_LBUTTONDOWN = 513;
constexpr UINT WM_LBUTTONUP = 514;
constexpr UINT WM_RBUTTONDOWN = 516;
constexpr UINT WM_RBUTTONUP = 517;
constexpr UINT WM_MOUSEWHEEL = 522;

// Virtual-key codes.
constexpr WPARAM VK_SHIFT = 16;
constexpr WPARAM VK_CONTROL = 17;
constexpr WPARAM VK_MENU = 18;  // either Alt
constexpr WPARAM VK_F1 = 112;
constexpr WPARAM VK_F2 = 113;
constexpr WPARAM VK_F10 = 121;

// Key state flags in the wParam of mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

constexpr int WHEEL_DELTA = 120;

// The descriptor of a WM_COPYDATA message; lpData is valid only while the message is handled.
struct COPYDATASTRUCT {
  uintptr_t dwData;  // message code
  uint32_t cbData;   // payload length in bytes
  const void* lpData;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>(static_cast<uint32_t>((static_cast<uint32_t>(high) & 0xFFFF) << 16 |
                                                   (static_cast<uint32_t>(low) & 0xFFFF)));
}
inline int16_t GET_X_LPARAM(LPARAM lParam) {
  return static_cast<int16_t>(lParam & 0xFFFF);
}
inline int16_t GET_Y_LPARAM(LPARAM lParam) {
  return static_cast<int16_t>((lParam >> 16) & 0xFFFF);
}
inline int16_t GET_WHEEL_DELTA_WPARAM(WPARAM wParam) {
  return static_cast<int16_t>((wParam >> 16) & 0xFFFF);
}

// The window handle a message's wParam carries (the sender of WM_COPYDATA); 0 for a value
// that can be no handle.
inline HWND windowFromWParam(WPARAM value) {
  return value > UINT32_MAX ? 0 : static_cast<HWND>(value);
}

inline COPYDATASTRUCT makeCopyData(uintptr_t code, uint32_t length, const void* payload) {
  return COPYDATASTRUCT{code, length, payload};
}

#endif
