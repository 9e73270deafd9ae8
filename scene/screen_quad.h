#pragma once
// A textured rectangle that covers a screen of the given size, and the part
// of its texture that holds the picture.

struct ScreenQuad {
  int left;          // pixels: where the copied area starts on the desktop
  int top;
  int width;         // pixels
  int height;        // pixels
  unsigned texture;  // GL texture name; the quad does not own it
  float right;       // texture s at the quad's right edge (s = 0 at the left)
  float upper;       // texture t at the quad's top edge (t = 0 at the bottom)
};
