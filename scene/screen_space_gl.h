#pragma once
// The screen-space pass: pixel units, origin at the top-left corner, y
// growing downward, eye-space z from -1 to 1 (z = 0 lands at window depth
// 0.5). Used by the backdrop and both text overlays. Passes never nest: GL
// guarantees only two projection-stack entries, and the pass takes the second.
#include "scene/screen_quad.h"

// Enters the pass for a width x height pixel area; leaves GL_MODELVIEW
// current with the identity loaded, whatever the mode on entry.
void beginScreenSpace(int width, int height);

// Undoes exactly one beginScreenSpace; leaves GL_MODELVIEW current.
void endScreenSpace();

// Draws the quad's tiles over the whole quad at z = 0, each texel on its
// own pixel, so a bottom-up snapshot shows upright. Leaves the viewport
// covering the quad and the last tile's texture bound.
void drawBackdrop(const ScreenQuad& quad);
