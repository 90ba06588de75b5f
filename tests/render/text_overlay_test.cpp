// The glyph font's lists and the bounded text printer.
#include "render/text_overlay.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "gl_test_window.h"
#include "render/gl_resources.h"
#include "scene/scene_state.h"

namespace {

// How far printing the text moves the raster position.
float advanceOf(const char* text) {
  glRasterPos2f(10, 50);
  text ? printText("%s", text) : printText(nullptr);
  GLfloat position[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  return position[0] - 10;
}

TEST(TextOverlay, PrintTextIsBoundedAndTheFontListsGoAwayOnce) {
  GlTestWindow window{400, 100};
  ASSERT_TRUE(window.ok());
  ASSERT_EQ(createTextFont(glResources.deviceContext), 1);
  glMatrixMode(GL_PROJECTION);  // raster positions in window pixels
  glOrtho(0, 400, 0, 100, -1, 1);
  // Lists made after the font sit right above its codes; a stray byte must not reach them.
  const GLuint others = glGenLists(256);
  for (GLuint list = others; list < others + 256; ++list) {
    glNewList(list, GL_COMPILE);
    const GLubyte dot[4] = {0x80, 0, 0, 0};
    glBitmap(1, 1, 0, 0, 100, 0, dot);
    glEndList();
  }
  const float one = advanceOf("W");
  EXPECT_GT(one, 8.0f);
  EXPECT_FLOAT_EQ(advanceOf("W\x01W\x7f"), 3 * one);  // byte 1 has no glyph, 127 has one
  EXPECT_FLOAT_EQ(advanceOf("W\xc0W"), 2 * one);
  EXPECT_FLOAT_EQ(advanceOf(std::string(1000, 'W').c_str()), 255 * one);
  EXPECT_FLOAT_EQ(advanceOf(nullptr), 0);  // a null format draws nothing
  glDeleteLists(others, 256);
  const GLuint base = glResources.fontListBase;
  ASSERT_TRUE(glIsList(base + kFontGlyphCount - 1));
  deleteTextFont();
  EXPECT_EQ(glResources.fontListBase, 0u);
  EXPECT_FALSE(glIsList(base));
  deleteTextFont();  // a second deletion does nothing
}

}  // namespace
