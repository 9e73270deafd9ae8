#pragma once
// Texture builders: the frozen desktop and the pictures stored in the
// program's resources.
#include <windows.h>

#include "scene/screen_quad.h"

// Copies the desktop area that `backdrop` covers, as the screen shows it
// now, into texture `backdrop->texture`, and sets the texture coordinates
// that show it back pixel for pixel. The filters apply to a 1:1 copy; a
// screen larger than the GL's largest texture is scaled down smoothly and
// always sampled linearly.
bool buildDesktopSnapshot(ScreenQuad* backdrop, int minFilter, int magFilter);

// Decodes the picture resource `resourceName` of type `resourceType` into
// texture `textureName`, exact black made transparent. `window` gives the
// DC whose resolution sizes the picture.
bool buildResourceTexture(HWND window, unsigned textureName, const char* resourceName,
                          const char* resourceType, int minFilter, int magFilter);
