#pragma once
// Texture uploads: the frozen desktop and the eye picture, from pixels the
// desktop code has made.
#include "scene/screen_quad.h"

// The GL's largest texture side, in pixels.
int largestTextureSide();

// Uploads `bits`, the desktop's width x height picture in bottom-up rows of
// blue, green, red, unused (the size of `backdrop`), 1:1 in tiles that fit
// the GL's largest texture and viewport, one texture each (the first named
// `backdrop->texture`), and records the tiles in `backdrop`. False when the
// GL refused an upload or the screen needs more tiles than a grid holds.
bool buildDesktopSnapshot(ScreenQuad* backdrop, const void* bits, int width, int height);

// Uploads a picture of width x height pixels in bottom-up rows of blue,
// green, red, unused to texture `textureName`, every mipmap level, exact
// black made transparent. The pixels are reordered in place. False when GLU
// refused the picture.
bool buildPictureTexture(unsigned textureName, int minFilter, int magFilter, int width, int height,
                         void* bits);
