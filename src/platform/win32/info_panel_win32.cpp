// The info panel on Windows: dialog 102 of the executable's resources, holding one read-only,
// scrollable, multi-line edit control. It is made an owned pop-up laid over the top-left corner
// of the scene's client area, not a child: a GL window covers its child windows under Wine,
// while a pop-up is a window of its own that no GL surface draws over. It never takes the
// activation, so the keyboard stays with the scene window.
#include "platform/win32/info_panel_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr WORD kTextBoxId = 1000;
constexpr WORD kPanelTemplateId = 102;

HWND panel = nullptr;
HWND panelOwner = nullptr;

// The resource's DLGTEMPLATE, with the child style swapped for an owned pop-up's: hidden until
// placed, never activated. Empty when the executable has no dialog 102.
std::vector<DWORD> popupTemplate() {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kPanelTemplateId), RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = found ? SizeofResource(module, found) : 0;
  if (bytes == nullptr || size < sizeof(DLGTEMPLATE)) return {};
  std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  std::memcpy(copy.data(), bytes, size);
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(copy.data());
  dialog->style = (dialog->style & ~(WS_CHILD | WS_VISIBLE)) | WS_POPUP;
  dialog->dwExtendedStyle |= WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  return copy;
}

// FALSE for every message, WM_INITDIALOG included: the dialog manager then gives the edit
// control no focus, so keys keep going to the scene window after any start order.
INT_PTR CALLBACK panelProcedure(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

}  // namespace

bool openInfoPanel(HWND parent) {
  if (panel != nullptr && IsWindow(panel)) return true;
  const std::vector<DWORD> words = popupTemplate();
  if (words.empty()) return false;
  panel = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                     reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), parent,
                                     panelProcedure, 0);
  if (panel == nullptr) return false;
  panelOwner = parent;
  placeInfoPanel(parent);
  return true;
}

void placeInfoPanel(HWND owner) {
  if (panel == nullptr || owner != panelOwner || !IsWindow(panel)) return;
  POINT corner = {0, 0};
  ClientToScreen(owner, &corner);
  // A minimised owner hides its pop-ups itself; the panel follows it back.
  const UINT show = IsIconic(owner) ? SWP_HIDEWINDOW : SWP_SHOWWINDOW;
  SetWindowPos(panel, nullptr, corner.x, corner.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | show);
}

// The text comes in Windows-1251 whatever the system's code page, so it goes in as UTF-16.
// The control is set with its drawing turned off: an edit control scrolls to its caret when its
// text is set, and under Wine that scroll can wait for the window system for good. With drawing
// off it only marks its new position, and the repaint below shows the text.
void setInfoPanelText(const char* text) {
  if (panel == nullptr || !IsWindow(panel)) return;
  HWND box = GetDlgItem(panel, kTextBoxId);
  const int length = MultiByteToWideChar(1251, 0, text, -1, nullptr, 0);
  if (box == nullptr || length <= 0) return;
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(1251, 0, text, -1, &wide[0], length);
  SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  SetWindowTextW(box, wide.c_str());
  SendMessageW(box, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

// The dialog is a window of its own and paints itself.
void drawInfoPanel() {}
