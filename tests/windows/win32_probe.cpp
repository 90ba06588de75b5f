// A small Windows program the Wine tests run next to the bench: it sees the bench as any other
// Windows program does (window classes, WM_COPYDATA, dialog boxes) and prints what it saw as
// KEY=VALUE lines, so the tests check the Win32 side itself rather than what X is told about it.
//
//   win32_probe window CLASS            the window found by class: title, rectangles, class style
//   win32_probe frame CLASS PIXELS      a frame request; the replies' codes and sizes, the header,
//                                       the pixel bytes written to the file PIXELS
//   win32_probe send CLASS CODE [D...]  one message whose payload is the doubles D
//   win32_probe resize CLASS W H        gives the window a client area of W x H pixels
//   win32_probe pose CLASS              the pose a camera reports (MSG_EXT_DESCRIBE)
//   win32_probe panel                   the info panel: its screen rectangle and its text (UTF-8)
//   win32_probe resources EXE           the executable's icon 101 and dialog 102
//   win32_probe boxes                   every message box up: process, caption and text
//   win32_probe focus CLASS             the classes of the window with the keyboard focus in the
//                                       window's thread and of the foreground window
//   win32_probe late CLASS              a frame request given up after 20 ms, its replies taken
//                                       only seconds later: the codes of those that still came
//   win32_probe flood CLASS COUNT       COUNT frame requests given up after 20 ms each, whose
//                                       replies are never taken
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const UINT kSendTimeoutMs = 10000;
const ULONG_PTR kFrameRequest = 2001;

struct Reply {
  ULONG_PTR code = 0;
  std::vector<unsigned char> payload;
};
std::vector<Reply> replies;

// The replies arrive here while SendMessageTimeoutA waits; the data is only valid during the call.
LRESULT CALLBACK mailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto* bytes = static_cast<const unsigned char*>(data->lpData);
    replies.push_back({data->dwData, {bytes, bytes + (bytes ? data->cbData : 0)}});
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeMailbox() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = mailboxProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "oculant_probe_mailbox";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

HWND findByClass(const char* className) {
  HWND window = FindWindowExA(nullptr, nullptr, className, nullptr);
  if (window == nullptr) std::printf("error=no window of class %s\n", className);
  return window;
}

bool send(HWND target, HWND sender, ULONG_PTR code, const void* payload = nullptr, DWORD size = 0,
          UINT flags = SMTO_NORMAL, UINT timeoutMs = kSendTimeoutMs) {
  COPYDATASTRUCT data = {code, size, const_cast<void*>(payload)};
  DWORD_PTR result = 0;
  const bool answered =
      SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                          reinterpret_cast<LPARAM>(&data), flags, timeoutMs, &result);
  std::printf("answered=%d\n", answered ? 1 : 0);
  return answered;
}

int window(HWND window) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  std::printf("title=%s\nx=%ld\ny=%ld\nwidth=%ld\nheight=%ld\n", title, outer.left, outer.top,
              outer.right - outer.left, outer.bottom - outer.top);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  std::printf("client_x=%ld\nclient_y=%ld\nclient_width=%ld\nclient_height=%ld\n", origin.x,
              origin.y, client.right, client.bottom);
  std::printf("class_style=%lu\npid=%lu\n", GetClassLongA(window, GCL_STYLE), pid);
  return 0;
}

int frame(HWND camera, const char* pixelFile) {
  if (!send(camera, makeMailbox(), kFrameRequest)) return 1;
  std::printf("replies=%zu\n", replies.size());
  if (replies.size() != 2) return 1;
  const Reply &header = replies[0], &pixels = replies[1];
  std::printf("header_code=%llu\nheader_size=%zu\n", static_cast<unsigned long long>(header.code),
              header.payload.size());
  if (header.payload.size() == 20) {
    int32_t fields[5];
    std::memcpy(fields, header.payload.data(), sizeof fields);
    std::printf("width=%d\nstride=%d\nheight=%d\n", fields[1], fields[2], fields[3]);
  }
  std::printf("pixels_code=%llu\npixels_size=%zu\n", static_cast<unsigned long long>(pixels.code),
              pixels.payload.size());
  FILE* out = std::fopen(pixelFile, "wb");
  if (out == nullptr) return 1;
  std::fwrite(pixels.payload.data(), 1, pixels.payload.size(), out);
  std::fclose(out);
  return 0;
}

int sendDoubles(HWND target, const char* code, char** values, int count) {
  std::vector<double> payload;
  for (int i = 0; i < count; ++i) payload.push_back(std::atof(values[i]));
  const auto size = static_cast<DWORD>(payload.size() * sizeof(double));
  return !send(target, makeMailbox(), std::strtoul(code, nullptr, 10),
               payload.empty() ? nullptr : payload.data(), size);
}

int resize(HWND target, int width, int height) {
  RECT outer = {0, 0, width, height};
  AdjustWindowRectEx(&outer, GetWindowLongA(target, GWL_STYLE), FALSE,
                     GetWindowLongA(target, GWL_EXSTYLE));
  return !SetWindowPos(target, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A frame request whose sender gives up after 20 ms without taking any reply meanwhile.
void giveUpRequest(HWND camera, HWND mailbox) {
  send(camera, mailbox, kFrameRequest, nullptr, 0, SMTO_BLOCK, 20);
}

int late(HWND camera) {
  giveUpRequest(camera, makeMailbox());
  // Past the camera's bound for the header, within the one for a reply sent after it.
  Sleep(2500);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(10)) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  std::string codes;
  for (const Reply& reply : replies)
    codes += (codes.empty() ? "" : ",") + std::to_string(reply.code);
  std::printf("codes=%s\n", codes.c_str());
  return 0;
}

int flood(HWND camera, int count) {
  HWND mailbox = makeMailbox();
  for (int i = 0; i < count; ++i) giveUpRequest(camera, mailbox);
  std::printf("sent=%d\n", count);
  return 0;
}

std::string classOf(HWND window) {
  char name[64] = "";
  if (window != nullptr) GetClassNameA(window, name, sizeof name);
  return name;
}

int focus(HWND window) {
  GUITHREADINFO info = {sizeof info};
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return 1;
  std::printf("focus=%s\nforeground=%s\n", classOf(info.hwndFocus).c_str(),
              classOf(GetForegroundWindow()).c_str());
  return 0;
}

int pose(HWND camera) {
  if (!send(camera, makeMailbox(), 3002) || replies.size() != 1 || replies[0].payload.size() < 48)
    return 1;
  double values[3];
  std::memcpy(values, replies[0].payload.data() + 24, sizeof values);
  std::printf("x=%.17g\ny=%.17g\nheading=%.17g\n", values[0], values[1], values[2]);
  return 0;
}

// The panel is a dialog ("#32770") either owned by the scene window or a child of it.
HWND ownedPanel = nullptr;
BOOL CALLBACK findOwnedPanel(HWND window, LPARAM owner) {
  if (classOf(window) == "#32770" && GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner))
    ownedPanel = window;
  return TRUE;
}

int panel() {
  HWND scene = findByClass("oculant");
  if (scene == nullptr) return 1;
  EnumWindows(findOwnedPanel, reinterpret_cast<LPARAM>(scene));
  HWND found = ownedPanel ? ownedPanel : FindWindowExA(scene, nullptr, "#32770", nullptr);
  if (found == nullptr) return 1;
  RECT rect;
  GetWindowRect(found, &rect);
  wchar_t text[2048] = L"";
  GetDlgItemTextW(found, 1000, text, 2048);
  char utf8[8192] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::string lines;
  for (const char* c = utf8; *c; ++c)
    lines += *c == '\r' ? "" : *c == '\n' ? "|" : std::string(1, *c);
  std::printf("x=%ld\ny=%ld\nwidth=%ld\nheight=%ld\ntext=%s\n", rect.left, rect.top,
              rect.right - rect.left, rect.bottom - rect.top, lines.c_str());
  return 0;
}

// The icon group's images (width x height x bits) and the dialog template's head.
int resources(const char* executable) {
  HMODULE module = LoadLibraryExA(executable, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return 1;
  HRSRC icon = FindResourceA(module, MAKEINTRESOURCEA(101), RT_GROUP_ICON);
  if (icon != nullptr) {
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, icon)));
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    for (WORD i = 0; i < count; ++i) {
      const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
      std::printf("icon=%dx%dx%d\n", entry[0], entry[1], *reinterpret_cast<const WORD*>(entry + 6));
    }
  }
  HRSRC dialog = FindResourceA(module, MAKEINTRESOURCEA(102), RT_DIALOG);
  if (dialog != nullptr) {
    DLGTEMPLATE head;
    std::memcpy(&head, LockResource(LoadResource(module, dialog)), sizeof head);
    std::printf("dialog_style=0x%08lX\ndialog_controls=%d\ndialog_size=%dx%d\n", head.style,
                head.cdit, head.cx, head.cy);
  }
  return 0;
}

// A message box is a dialog of the system class "#32770" whose text sits in control 0xFFFF.
BOOL CALLBACK printBox(HWND window, LPARAM) {
  if (classOf(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
  char caption[256] = "", text[1024] = "";
  GetWindowTextA(window, caption, sizeof caption);
  GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  std::printf("box=%lu|%s|%s\n", pid, caption, text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  // The commands that name a window class find their window first.
  HWND target = nullptr;
  const bool byClass = command != "panel" && command != "resources" && command != "boxes";
  if (byClass && argc > 2 && (target = findByClass(argv[2])) == nullptr) return 1;
  int status = 2;
  if (command == "window" && argc == 3) {
    status = window(target);
  } else if (command == "frame" && argc == 4) {
    status = frame(target, argv[3]);
  } else if (command == "send" && argc >= 4) {
    status = sendDoubles(target, argv[3], argv + 4, argc - 4);
  } else if (command == "resize" && argc == 5) {
    status = resize(target, std::atoi(argv[3]), std::atoi(argv[4]));
  } else if (command == "late" && argc == 3) {
    status = late(target);
  } else if (command == "flood" && argc == 4) {
    status = flood(target, std::atoi(argv[3]));
  } else if (command == "resources" && argc == 3) {
    status = resources(argv[2]);
  } else if (command == "pose" && argc == 3) {
    status = pose(target);
  } else if (command == "panel" && argc == 2) {
    status = panel();
  } else if (command == "focus" && argc == 3) {
    status = focus(target);
  } else if (command == "boxes" && argc == 2) {
    status = EnumWindows(printBox, 0) ? 0 : 1;
  } else {
    std::fprintf(stderr,
                 "usage: win32_probe "
                 "window|frame|send|resize|pose|panel|resources|focus|boxes|late|flood ...\n");
  }
  std::fflush(stdout);
  return status;
}
