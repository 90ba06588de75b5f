// The overlay's glyphs on Windows: GDI renders the font's glyphs into GL display lists. The
// height is negative: 24 px is the character (em) height, not the cell height.
#include "platform/platform.h"

bool makeGlyphLists(HDC deviceContext, uint32_t listBase, int firstChar, int count) {
  if (deviceContext == nullptr || count <= 0) return false;
  HFONT font = CreateFontA(-24, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH,
                           "Courier New");
  if (font == nullptr) return false;
  HGDIOBJ previous = SelectObject(deviceContext, font);
  const bool made = wglUseFontBitmapsA(deviceContext, static_cast<DWORD>(firstChar),
                                       static_cast<DWORD>(count), listBase) != FALSE;
  // The lists hold the glyphs' bitmaps themselves: the font is not needed afterwards.
  SelectObject(deviceContext, previous);
  DeleteObject(font);
  return made;
}
