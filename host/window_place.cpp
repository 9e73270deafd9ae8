#include "host/window_place.h"

WindowMove guardedMove(const WindowMove& asked, const ScreenRect& layout) {
  if (layout.right <= layout.left || layout.bottom <= layout.top) return asked;
  // Even a change that keeps the place and the size puts the window back:
  // a move the window never heard of may have come before it.
  WindowMove kept = {layout.left, layout.top, layout.right - layout.left,
                     layout.bottom - layout.top, false, false};
  return kept;
}
