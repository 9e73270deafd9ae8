#pragma once
// The eye picture: a picture resource of the program decoded with the OLE
// picture loader, which every Windows since 95 has.
#include <windows.h>

#include "desktop/desktop_copy_win32.h"

// Decodes the resource `resourceName` of type `resourceType` and draws it
// upright into a new 32-bit bottom-up DIB in *pixels: its size measured at
// the resolution of `window`'s DC, each side then made a texture side no
// larger than `largestTexture`. False, with nothing held, on failure.
bool decodeOleResourcePicture(HWND window, const char* resourceName, const char* resourceType,
                              int largestTexture, DesktopCopy* pixels);
