#include "scene/screen_layout.h"

namespace {

const int kClockBaselineAboveBottom = 5;  // pixels
const int kFpsBaselineBelowTop = 25;      // pixels

}  // namespace

ScreenLayout screenLayout(const MonitorArea* monitors, int count) {
  ScreenLayout layout = {};
  if (monitors == nullptr || count <= 0) return layout;

  ScreenRect bounds = monitors[0].rect;
  ScreenRect primary = monitors[0].rect;
  bool primaryFound = false;
  for (int i = 0; i < count; ++i) {
    const ScreenRect& r = monitors[i].rect;
    if (r.left < bounds.left) bounds.left = r.left;
    if (r.top < bounds.top) bounds.top = r.top;
    if (r.right > bounds.right) bounds.right = r.right;
    if (r.bottom > bounds.bottom) bounds.bottom = r.bottom;
    if (monitors[i].primary && !primaryFound) {
      primary = r;
      primaryFound = true;
    }
  }
  layout.window = bounds;
  layout.primary.left = primary.left - bounds.left;
  layout.primary.top = primary.top - bounds.top;
  layout.primary.right = primary.right - bounds.left;
  layout.primary.bottom = primary.bottom - bounds.top;

  const int windowHeight = bounds.bottom - bounds.top;
  layout.eyesX = layout.primary.left;
  layout.eyesY = windowHeight - layout.primary.bottom;
  layout.eyesWidth = layout.primary.right - layout.primary.left;
  layout.eyesHeight = layout.primary.bottom - layout.primary.top;

  layout.clockX = layout.primary.left;
  layout.clockBaselineY = layout.primary.bottom - kClockBaselineAboveBottom;
  layout.fpsX = layout.primary.left;
  layout.fpsBaselineY = layout.primary.top + kFpsBaselineBelowTop;
  return layout;
}
