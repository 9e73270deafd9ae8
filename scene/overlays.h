#pragma once
// The clock and FPS texts: outline-font glyphs compiled once into display
// lists and drawn in screen space over the frozen desktop.
#include <windows.h>

struct ClockOverlay {
  int width;          // saver window's outer width in pixels, taken at init
  int height;         // saver window's outer height in pixels
  unsigned listBase;  // first of the 96 glyph lists (codes 32..127); 0 = none
  HDC dc;             // the window's DC, held only while initOverlay runs

  void initOverlay(HWND window);
  void buildOutlineFont();
  void drawOutlineText(const char* text);
  void releaseFont();
  void drawClock();
};

struct FpsCounter {
  int width;
  int height;
  unsigned listBase;
  HDC dc;
  DWORD periodStart;  // timeGetTime milliseconds when the current period began

  void initOverlay(HWND window);
  void buildOutlineFont();
  void drawOutlineText(const char* text);
  void releaseFont();
  const char* tickFps();
  void drawFps(const char* text);
};
