#pragma once
// A textured rectangle that covers a screen of the given size.

struct ScreenQuad {
  int width;         // pixels
  int height;        // pixels
  unsigned texture;  // GL texture name; the quad does not own it
};
