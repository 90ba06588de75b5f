#include "app/window_proc.h"

#include "app/input_handling.h"
#include "app/lifecycle.h"
#include "app/paint.h"
#include "messaging/extensions.h"
#include "messaging/instance.h"
#include "messaging/instance_messages.h"
#include "platform/platform.h"
#include "render/gl_setup.h"
#include "wire/extension_messages.h"

namespace {
Instance* boundInstance = nullptr;
}  // namespace

void bindWindowInstance(Instance& instance) {
  boundInstance = &instance;
}

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (boundInstance == nullptr) return defWindowProc(window, message, wParam, lParam);
  return instanceWindowProc(*boundInstance, window, message, wParam, lParam);
}

LRESULT instanceWindowProc(Instance& instance, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      onCreate(instance, window);
      break;
    case WM_DESTROY:
      onDestroy(instance, window);
      break;
    case WM_SIZE: {
      int width = 0, height = 0;
      getClientRect(window, &width, &height);
      resizeGl(width, height, instance.role, instance.rigSettings);
      paintFrame(currentCameraView(instance, width, height));
      break;
    }
    case WM_CLOSE:
      onClose(window);
      break;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data != nullptr && isExtensionMessage(data->dwData)) {
        handleExtensionMessage(instance, window, wParam, data);
      } else {
        handleInstanceMessage(instance, window, wParam, data);
      }
      break;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEWHEEL:
      handleInputMessage(instance, window, message, wParam, lParam);
      break;
    default:
      break;
  }
  return defWindowProc(window, message, wParam, lParam);
}
