#pragma once
// Texture builders: the frozen desktop and the pictures stored in the
// program's resources.
#include <windows.h>

#include "scene/screen_quad.h"

// Copies what the screen shows now into texture `quad.texture`, sized for
// the quad's width x height.
bool buildDesktopSnapshot(const ScreenQuad& quad, int minFilter, int magFilter);

// Decodes the picture resource `resourceName` of type `resourceType` into
// texture `textureName`, exact black made transparent. `window` gives the
// DC whose resolution sizes the picture.
bool buildResourceTexture(HWND window, unsigned textureName, const char* resourceName,
                          const char* resourceType, int minFilter, int magFilter);
