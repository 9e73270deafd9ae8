#pragma once
// Where the saver's parts go on a desktop of one or more monitors. The
// window covers every monitor, so the whole desktop freezes; the eyes, the
// clock and the counter stay on the primary monitor.
// Pure logic: no platform headers.

// A rectangle in pixels; right and bottom are exclusive.
struct ScreenRect {
  int left;
  int top;
  int right;
  int bottom;
};

inline bool sameRect(const ScreenRect& a, const ScreenRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

enum { kMonitorDeviceSize = 32 };  // the system's CCHDEVICENAME

struct MonitorArea {
  ScreenRect rect;  // desktop coordinates: the primary's top-left is (0, 0)
  bool primary;
  // The display device that shows it, such as "\\.\DISPLAY1"; empty
  // where the system does not say.
  char device[kMonitorDeviceSize] = {};
};

struct ScreenLayout {
  ScreenRect window;   // desktop coordinates: the bounds of every monitor
  ScreenRect primary;  // the primary monitor, relative to the window's top-left
  // GL viewport of the eyes' perspective pass: the primary monitor, counted
  // from the window's bottom-left corner as GL counts.
  int eyesX;
  int eyesY;
  int eyesWidth;
  int eyesHeight;
  // Screen-space points (window pixels, top-left origin, y down) where the
  // texts start: the baselines of the clock at the primary's bottom-left
  // and of the counter at its top-left.
  int clockX;
  int clockBaselineY;
  int fpsX;
  int fpsBaselineY;
};

// The layout for `count` monitors. The primary is the one marked so (the
// first when none is). With no monitor at all, everything is empty.
ScreenLayout screenLayout(const MonitorArea* monitors, int count);
