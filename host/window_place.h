#pragma once
// Where the saver's window may go. It covers its layout's rectangle for the
// whole run: a move or a resize asked by anyone (the system putting windows
// back where they were when a monitor returns, another program) becomes the
// layout's rectangle, and the saver's own move to a new layout passes as it
// is. The z-order is not decided here: the system keeps the saver's own
// boxes and dialogs above the window.
// Pure logic: no platform headers.
#include "scene/screen_layout.h"

// A change of the window's place as the system announces it before making
// it: the new top-left and size, and whether the place or the size stay.
struct WindowMove {
  int x;
  int y;
  int width;
  int height;
  bool keepsPlace;
  bool keepsSize;
};

// The change the window accepts. With no layout yet (no monitor measured)
// anything goes.
WindowMove guardedMove(const WindowMove& asked, const ScreenRect& layout);
