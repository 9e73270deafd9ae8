#pragma once
// The desktop's picture as the saver holds it between the screen and the
// GL: a 32-bit bottom-up DIB section, and the GDI helpers that fill one.
#include <windows.h>

// The desktop as the screen showed it before the saver's window covered
// it, or the user's background drawn in its place. Under a compositing
// window manager a window that has not painted yet shows black, and a copy
// of the screen taken while it is up would copy that.
struct DesktopCopy {
  HBITMAP bitmap = nullptr;  // null when nothing is held
  void* bits = nullptr;      // bottom-up rows of blue, green, red, unused
  int width = 0;             // pixels
  int height = 0;
};

// Copies the screen area at left, top (virtual-screen coordinates) of
// width x height pixels, 1:1. False, with nothing held, when it cannot,
// the system refusing the copy included.
bool copyDesktop(int left, int top, int width, int height, DesktopCopy* copy);
// A width x height copy with nothing drawn in it yet, to draw the desktop
// into some other way. False, with nothing held, when it cannot be made.
bool newDesktopCopy(int width, int height, DesktopCopy* copy);
void releaseDesktopCopy(DesktopCopy* copy);
// Draws the copy 1:1 at the DC's origin with GDI.
void paintDesktopCopy(HDC dc, const DesktopCopy& copy);

// A width x height, 32-bit, bottom-up DIB section for `dc`, with its pixels
// in *bits. Null, with nothing left behind, when it cannot be made.
HBITMAP createDib(HDC dc, int width, int height, void** bits);

// A memory DC compatible with the DC of `window` (the whole screen's when
// null), and that DC. Both are held until closeMemoryDc.
struct MemoryDc {
  HWND window;
  HDC source;
  HDC memory;
};
bool openMemoryDc(HWND window, MemoryDc* dcs);
void closeMemoryDc(const MemoryDc& dcs);
