#pragma once
// Where each monitor's picture comes from once the monitors have changed
// under a running saver: the frozen desktop taken at start, or the user's
// background. A mode change, a monitor that sleeps and drops off the bus,
// one added or removed: each gives the desktop new monitor rectangles, and
// pixels of the start picture belong only where a monitor still shows
// exactly what it showed then. Pure logic: no platform headers.
#include "scene/screen_layout.h"

struct PictureSource {
  ScreenRect area;  // the monitor now, desktop coordinates
  bool fromStart;   // its pixels are the start picture's ...
  int startX;       // ... from this point of it (pixels from its top-left)
  int startY;
};

// One source for each of the `nowCount` monitors now, in their order, into
// `sources`. A monitor takes the start picture where it has the same
// rectangle as a monitor at start, shown by the same device where both
// name one; any other (new, moved, resized) takes the background. The
// start picture covers `startBounds`.
void pictureSources(const MonitorArea* start, int startCount, const ScreenRect& startBounds,
                    const MonitorArea* now, int nowCount, PictureSource* sources);

// Whether every monitor takes the start picture and the desktop has the
// bounds it had at start: then the start picture is the whole picture.
bool picturesUnchanged(const PictureSource* sources, int count, const ScreenRect& startBounds,
                       const ScreenRect& bounds);

// Whether two lists of monitors are the same, rectangles, primary and
// devices in the same order.
bool sameMonitors(const MonitorArea* a, int aCount, const MonitorArea* b, int bCount);
