#include "render/text_overlay.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>

#include "render/gl_resources.h"
#include "render/overview_transform.h"
#include "scene/scene_state.h"

int createTextFont(HDC deviceContext) {
  glResources.fontListBase = glGenLists(kFontGlyphCount);
  if (glResources.fontListBase == 0) return 0;
  const bool made =
      makeGlyphLists(deviceContext, glResources.fontListBase, kFontFirstChar, kFontGlyphCount);
  return made ? 1 : 0;
}

void deleteTextFont() {
  if (glResources.fontListBase != 0) glDeleteLists(glResources.fontListBase, kFontGlyphCount);
  glResources.fontListBase = 0;
}

void printText(const char* format, ...) {
  if (format == nullptr) return;
  char text[kTextBufferSize];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length <= 0 || glResources.fontListBase == 0) return;
  // Only codes with a glyph list are called, so a stray byte can never reach some other list.
  GLubyte codes[kTextBufferSize];
  int count = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    const unsigned char code = static_cast<unsigned char>(*c);
    if (code >= kFontFirstChar && code < kFontFirstChar + kFontGlyphCount) codes[count++] = code;
  }
  glPushAttrib(GL_LIST_BIT);
  glListBase(glResources.fontListBase - kFontFirstChar);
  glCallLists(count, GL_UNSIGNED_BYTE, codes);
  glPopAttrib();
}

void drawAxisMarker(const OverviewView& overview, double heading) {
  glPushMatrix();
  glTranslatef(0.4f, 0.25f, -1.0f);
  // Turns with the overview but ignores its distance and pan.
  applyOrbitTransform(0, 0, overview.tilt, overview.spin);
  glLineWidth(5);
  glBegin(GL_LINES);
  glColor3f(0, 1, 0);
  glVertex3d(0, 0, 0);
  glVertex3d(0.1, 0, 0);
  glColor3f(0, 1, 1);
  glVertex3d(0, 0, 0);
  glVertex3d(0, 0.1, 0);
  glColor3f(1, 1, 0);
  glVertex3d(0, 0, 0);
  glVertex3d(0, 0, 0.1);
  glEnd();
  glColor3f(1, 1, 1);
  char label[kTextBufferSize];
  std::snprintf(label, sizeof label, "X- %5.3f", heading);
  glRasterPos2f(0.1f, 0);
  printText("%s", label);
  std::snprintf(label, sizeof label, "Y");
  glRasterPos2f(0, 0.1f);
  printText("%s", label);
  glPopMatrix();
}
