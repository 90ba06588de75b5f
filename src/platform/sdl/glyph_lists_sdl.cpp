// Glyph lists as GDI makes them from a font, here from the installed font that fontconfig finds
// nearest to the overlay's and FreeType renders to one-bit bitmaps.
#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr const char* kFontPattern = "Courier New:bold";
constexpr int kFontPixelSize = 24;  // the character (em) height, not the cell height

// The file and face index of the installed font nearest to the pattern; empty when none.
std::string findFontFile(int* faceIndex) {
  std::string file;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return file;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kFontPattern));
  if (pattern != nullptr) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
      file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, faceIndex) != FcResultMatch) *faceIndex = 0;
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
  }
  FcConfigDestroy(config);
  return file;
}

// Compiles one list that draws the glyph's one-bit image with its bearings at the raster
// position and moves the raster position on by the glyph's advance.
void compileGlyph(FT_Face face, int code, GLuint list) {
  if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO) != 0) {
    return;
  }
  const FT_GlyphSlot glyph = face->glyph;
  const FT_Bitmap& bitmap = glyph->bitmap;
  const int width = static_cast<int>(bitmap.width);
  const int rows = static_cast<int>(bitmap.rows);
  const int rowBytes = (width + 7) / 8;
  // FreeType stores rows top-down, glBitmap wants them bottom-up and tightly packed.
  std::vector<GLubyte> bits(static_cast<size_t>(rowBytes) * rows + 1, 0);
  if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
    for (int row = 0; row < rows; ++row) {
      const int pitch = bitmap.pitch;
      const unsigned char* source =
          pitch >= 0 ? bitmap.buffer + row * pitch : bitmap.buffer + (rows - 1 - row) * -pitch;
      std::copy(source, source + rowBytes, bits.begin() + (rows - 1 - row) * rowBytes);
    }
  }
  glNewList(list, GL_COMPILE);
  glBitmap(width, rows, static_cast<GLfloat>(-glyph->bitmap_left),
           static_cast<GLfloat>(rows - glyph->bitmap_top), glyph->advance.x / 64.0f,
           glyph->advance.y / 64.0f, bits.data());
  glEndList();
}

}  // namespace

// The glyphs go into the context current on this thread, which is the window's.
bool makeGlyphLists(HDC /*deviceContext*/, uint32_t listBase, int firstChar, int count) {
  if (listBase == 0 || count <= 0) return false;
  int faceIndex = 0;
  const std::string file = findFontFile(&faceIndex);
  if (file.empty()) return false;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  FT_Face face = nullptr;
  bool made = false;
  if (FT_New_Face(library, file.c_str(), faceIndex, &face) == 0 &&
      FT_Set_Pixel_Sizes(face, 0, kFontPixelSize) == 0) {
    // The bitmaps are copied into the lists when they are compiled, under this unpacking.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    for (int k = 0; k < count; ++k) compileGlyph(face, firstChar + k, listBase + k);
    glPopClientAttrib();
    made = true;
  }
  if (face != nullptr) FT_Done_Face(face);
  FT_Done_FreeType(library);
  return made;
}
