#pragma once
// How far the eyes turn for a cursor position. Pure logic: no platform headers.

struct EyeAngles {
  float aboutY;  // degrees, the first turn (left/right)
  float aboutX;  // degrees, the second turn (up/down)
};

// Both eyes share the angles: 45 degrees about y less a tenth of the cursor's
// x, and 120 degrees about x less a tenth of its y (screen pixels, which may
// be negative on a monitor left of or above the primary one).
EyeAngles eyeAnglesFor(int cursorX, int cursorY);
