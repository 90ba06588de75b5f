// A stand-in camera for testing Windows clients: a window of class "oculant1" (or the class
// given) that answers a frame request (2001) as the bench's cameras do, by sending the frame's
// header (2100 + role) and pixels (2200 + role) to the window in the request's wParam.
//
//   fake_camera_win32 CLASS READY_FILE [HANG_MS]
//
// The frame is 5 x 3 with a known pattern (pixel below). READY_FILE is written once the window
// exists. With HANG_MS, every request is held that long before it is answered, as by a camera
// that hangs. Code 1000 closes the window; so does a minute without one.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 5;
constexpr int kHeight = 3;
constexpr int kStride = 16;  // 5 * 3 rounded up to 4
constexpr UINT_PTR kLifetimeTimer = 1;

int role = 1;
DWORD hangMs = 0;
std::vector<uint8_t> pixels;

// Row r counts from the bottom, as the rows are sent; the padding is 0xEE so that a client
// that keeps or drops it shows.
void fillFrame() {
  pixels.assign(kStride * kHeight, 0xEE);
  for (int r = 0; r < kHeight; ++r) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* pixel = &pixels[r * kStride + x * 3];
      pixel[0] = static_cast<uint8_t>(10 + 40 * x + role);  // blue
      pixel[1] = static_cast<uint8_t>(20 + 70 * r);         // green
      pixel[2] = static_cast<uint8_t>(250 - 30 * x);        // red
    }
  }
}

void reply(HWND self, HWND requester, ULONG_PTR code, const void* data, DWORD size) {
  COPYDATASTRUCT message = {code, size, const_cast<void*>(data)};
  SendMessageA(requester, WM_COPYDATA, reinterpret_cast<WPARAM>(self),
               reinterpret_cast<LPARAM>(&message));
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data->dwData == 1000) {
      DestroyWindow(window);
    } else if (data->dwData == 2001) {
      if (hangMs > 0) Sleep(hangMs);
      const int32_t header[5] = {0, kWidth, kStride, kHeight, 0};
      const HWND requester = reinterpret_cast<HWND>(wParam);
      reply(window, requester, 2100 + role, header, sizeof header);
      reply(window, requester, 2200 + role, pixels.data(), static_cast<DWORD>(pixels.size()));
    }
    return TRUE;
  }
  if (message == WM_TIMER && wParam == kLifetimeTimer) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fake_camera_win32 CLASS READY_FILE [HANG_MS]\n");
    return 2;
  }
  const char* className = argv[1];
  if (std::strcmp(className, "oculant2") == 0) role = 2;
  if (argc > 3) hangMs = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
  fillFrame();

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  if (RegisterClassA(&windowClass) == 0) return 1;
  const HWND window = CreateWindowExA(0, className, "fake camera", WS_OVERLAPPEDWINDOW, 0, 0, 64,
                                      64, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, kLifetimeTimer, 60000, nullptr);

  std::FILE* ready = std::fopen(argv[2], "w");
  if (ready == nullptr) return 1;
  std::fclose(ready);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
