#pragma once
// A textured rectangle that covers a screen of the given size, in tiles of
// its texture.
#include "scene/gl_names.h"
#include "scene/texture_sizes.h"

struct ScreenQuad {
  int left;            // pixels: where the copied area starts on the desktop
  int top;
  int width;           // pixels
  int height;          // pixels
  unsigned texture;    // GL texture name of the first tile; the quad does not own it
  SnapshotTiles tiles; // the screen's tiles, one texture each
};

// The GL texture name of the quad's tile of that index: the quad's own name
// for the first, fixed names from kSnapshotTileTextures for the rest.
inline unsigned tileTexture(const ScreenQuad& quad, int index) {
  return index == 0 ? quad.texture : kSnapshotTileTextures + static_cast<unsigned>(index) - 1u;
}
