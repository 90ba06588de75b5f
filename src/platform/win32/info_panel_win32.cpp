// The info panel on Windows: dialog 102, a child dialog of the scene window made from a
// template in memory, holding one read-only, scrollable, multi-line edit control.
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr WORD kTextBoxId = 1000;
constexpr WORD kEditClass = 0x0081;  // the predefined class atom of EDIT

HWND panel = nullptr;

// Appends a value to the template, which is built as a row of WORDs.
void put(std::vector<WORD>& words, DWORD value) {
  words.push_back(LOWORD(value));
  words.push_back(HIWORD(value));
}

void putText(std::vector<WORD>& words, const wchar_t* text) {
  do {
    words.push_back(static_cast<WORD>(*text));
  } while (*text++ != L'\0');
}

// DLGTEMPLATE with a font, then one DLGITEMTEMPLATE, each on a DWORD boundary; dialog units.
std::vector<WORD> panelTemplate() {
  std::vector<WORD> words;
  put(words, WS_CHILD | WS_VISIBLE | DS_SETFONT | DS_CONTROL);  // style
  put(words, 0);                                                // extended style
  words.push_back(1);                                           // one control
  words.insert(words.end(), {0, 0, 166, 65});                   // x, y, cx, cy
  words.insert(words.end(), {0, 0});                            // no menu, default class
  putText(words, L"");                                          // no title
  words.push_back(8);                                           // font size in points
  putText(words, L"MS Sans Serif");
  if (words.size() % 2 != 0) words.push_back(0);
  put(words,
      WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL);
  put(words, 0);
  words.insert(words.end(), {7, 7, 151, 51, kTextBoxId, 0xFFFF, kEditClass});
  putText(words, L"");  // no initial text
  words.push_back(0);   // no creation data
  return words;
}

INT_PTR CALLBACK panelProcedure(HWND, UINT message, WPARAM, LPARAM) {
  // TRUE for WM_INITDIALOG lets the system give the first control the focus.
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

bool openInfoPanel(HWND parent) {
  if (panel != nullptr && IsWindow(panel)) return true;
  const std::vector<WORD> words = panelTemplate();
  panel = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                     reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), parent,
                                     panelProcedure, 0);
  return panel != nullptr;
}

// The text comes in Windows-1251 whatever the system's code page, so it goes in as UTF-16.
void setInfoPanelText(const char* text) {
  if (panel == nullptr || !IsWindow(panel)) return;
  const int length = MultiByteToWideChar(1251, 0, text, -1, nullptr, 0);
  if (length <= 0) return;
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(1251, 0, text, -1, &wide[0], length);
  SetDlgItemTextW(panel, kTextBoxId, wide.c_str());
}

// The dialog is a child window and paints itself.
void drawInfoPanel() {}
