#pragma once
// One frame of the saver, drawn from plain inputs: the frozen desktop, the
// optional texts in front of it, and the two eyes.
#include <windows.h>

#include "scene/overlays_gl.h"
#include "scene/screen_layout.h"
#include "scene/screen_quad.h"

// What one frame shows. Null overlays are off.
struct FrameContent {
  const ScreenLayout* layout;  // the window over every monitor, the eyes' part
  const ScreenQuad* backdrop;
  ClockOverlay* clock;
  FpsCounter* fpsCounter;
  const char* fpsText;  // the counter's text, when it is on
  bool eyes;            // drawn for a second after each mouse move
  int cursorX;          // screen pixels; the eyes turn toward it
  int cursorY;
};

// Draws the frame into the back buffer. The modelview is the identity
// before and after.
void drawScene(const FrameContent& content);

// The two eyes, turned toward the cursor.
void drawEyes(int cursorX, int cursorY);

// Shows the back buffer; false when the system could not (the device was
// lost or reset).
bool presentFrame(HDC dc);
