// Bitmap text on the GL window and the overview's axis marker with its labels.
#pragma once

#include "platform/platform.h"
#include "scene/scene_state.h"

constexpr int kFontFirstChar = 32;
constexpr int kFontGlyphCount = 96;  // codes 32..127
constexpr int kTextBufferSize = 256;

// Builds one display list per code 32..127 starting at glResources.fontListBase with the
// platform's glyph lists (bold "Courier New" at 24 px, or its nearest match). The rendering
// context must be current. 1 when the glyphs were made; 0 leaves the lists empty, so text is
// silently missing.
int createTextFont(HDC deviceContext);

// Deletes the glyph lists (while the context is still alive).
void deleteTextFont();

// Draws the formatted text at the current raster position; text beyond 255 characters is cut
// and bytes without a glyph (below 32, above 127) are left out. A null format draws nothing.
void printText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The three axis lines turning with the overview and the heading and "Y" labels.
void drawAxisMarker(const OverviewView& overview, double heading);
