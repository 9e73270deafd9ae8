// Clock and FPS overlays: outline-font glyph lists drawn in screen space.
#include "scene/overlays.h"

#include <GL/gl.h>

namespace {
const int kGlyphCount = 96;  // character codes 32..127
}  // namespace

void ClockOverlay::releaseFont() {
  if (listBase != 0) glDeleteLists(listBase, kGlyphCount);
  listBase = 0;
}

void FpsCounter::releaseFont() {
  if (listBase != 0) glDeleteLists(listBase, kGlyphCount);
  listBase = 0;
}
