#pragma once
// The clock and FPS texts: outline-font glyphs compiled once into display
// lists and drawn in screen space over the frozen desktop.
#include <windows.h>
#include <stdint.h>

#include "scene/fps_count.h"

// One display list per character code 32..127 of a bold outline font;
// those of the overlays' characters (kOverlayGlyphs) hold their glyphs, the
// others are empty.
struct OutlineFont {
  unsigned listBase;  // first of the 96 lists; 0 = none built

  // Compiles the glyphs for the GL context current on `dc`'s window.
  void build(HDC dc);
  // Draws `text` from the current origin, advancing it glyph by glyph.
  void draw(const char* text) const;
  // Deletes the lists; the GL context must still be current.
  void release();
};

// Where a text line starts: window pixels from the top-left corner.
struct OverlayPlace {
  int x;
  int baselineY;
};

struct ClockOverlay {
  int width;   // saver window's outer width in pixels, taken at init
  int height;  // saver window's outer height in pixels
  OutlineFont font;
  OverlayPlace place;  // the primary monitor's bottom-left corner

  void initOverlay(HWND window, const OverlayPlace& where);
  // The window took a new size: the text goes to `where`.
  void moveOverlay(HWND window, const OverlayPlace& where);
  void releaseFont();
  // "HH : MM : SS" of the local time, red.
  void drawClock();
};

struct FpsCounter {
  int width;
  int height;
  OutlineFont font;
  FpsTally tally;         // frames of the current period, text of the last one
  uint32_t periodStart;   // timeGetTime milliseconds when the current period began
  OverlayPlace place;     // the primary monitor's top-left corner

  void initOverlay(HWND window, const OverlayPlace& where);
  // The window took a new size: the text goes to `where`.
  void moveOverlay(HWND window, const OverlayPlace& where);
  void releaseFont();
  // Starts a new period now, dropping the frames counted so far: frames
  // held back are not frames the user saw.
  void restartPeriod();
  // Counts one frame; returns the text of the last closed period.
  const char* tickFps();
  // "FPS: " and `text`, green.
  void drawFps(const char* text);
};
