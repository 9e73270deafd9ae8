#pragma once
// Texture builders: the frozen desktop and the pictures stored in the
// program's resources.
#include <windows.h>

#include "scene/screen_quad.h"

// The desktop as the screen showed it before the saver's window covered
// it, held in a 32-bit bottom-up DIB section until it is uploaded. Under a
// compositing window manager a window that has not painted yet shows black,
// and a copy of the screen taken while it is up would copy that.
struct DesktopCopy {
  HBITMAP bitmap;  // null when nothing is held
  void* bits;
  int width;       // pixels
  int height;
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

// Uploads the copy, which must be the size of `backdrop`, 1:1 in tiles that
// fit the GL's largest texture and viewport, one texture each (the first
// named `backdrop->texture`), and records the tiles in `backdrop`. False
// when the GL refused an upload or the screen needs more tiles than a
// grid holds.
bool buildDesktopSnapshot(ScreenQuad* backdrop, const DesktopCopy& copy, int minFilter,
                          int magFilter);

// Decodes the picture resource `resourceName` of type `resourceType` into
// texture `textureName`, exact black made transparent. `window` gives the
// DC whose resolution sizes the picture.
bool buildResourceTexture(HWND window, unsigned textureName, const char* resourceName,
                          const char* resourceType, int minFilter, int magFilter);
