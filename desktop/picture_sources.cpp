#include "desktop/picture_sources.h"

#include <string.h>

namespace {

// The same monitor in the same place. A device named by only one side is
// not evidence either way; the rectangle decides.
bool showsTheSame(const MonitorArea& start, const MonitorArea& now) {
  if (!sameRect(start.rect, now.rect)) return false;
  if (start.device[0] == '\0' || now.device[0] == '\0') return true;
  return strncmp(start.device, now.device, kMonitorDeviceSize) == 0;
}

}  // namespace

void pictureSources(const MonitorArea* start, int startCount, const ScreenRect& startBounds,
                    const MonitorArea* now, int nowCount, PictureSource* sources) {
  for (int i = 0; i < nowCount; ++i) {
    PictureSource& source = sources[i];
    source = {now[i].rect, false, 0, 0};
    for (int j = 0; j < startCount; ++j) {
      if (!showsTheSame(start[j], now[i])) continue;
      source.fromStart = true;
      source.startX = start[j].rect.left - startBounds.left;
      source.startY = start[j].rect.top - startBounds.top;
      break;
    }
  }
}

bool picturesUnchanged(const PictureSource* sources, int count, const ScreenRect& startBounds,
                       const ScreenRect& bounds) {
  if (!sameRect(startBounds, bounds)) return false;
  for (int i = 0; i < count; ++i) {
    if (!sources[i].fromStart) return false;
  }
  return true;
}

bool sameMonitors(const MonitorArea* a, int aCount, const MonitorArea* b, int bCount) {
  if (aCount != bCount) return false;
  for (int i = 0; i < aCount; ++i) {
    if (!sameRect(a[i].rect, b[i].rect) || a[i].primary != b[i].primary ||
        strncmp(a[i].device, b[i].device, kMonitorDeviceSize) != 0) {
      return false;
    }
  }
  return true;
}
