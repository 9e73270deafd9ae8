#pragma once
// Fixed names of the GL objects the scene creates once and uses by number.
// The fonts' glyph lists are not here: they come from glGenLists, which
// never hands out a name already in use, so list 1 is claimed first.
// Pure data: no platform or GL headers.

enum : unsigned {
  kEyeSphereList = 1,     // display list: the textured eye sphere
  kSnapshotTexture = 103, // the frozen desktop, or its first tile
  kEyeTexture = 104,      // the eye picture
  // The frozen desktop's further tiles, where the screen needs more than
  // one texture: 200 on, as many as the tile grid holds (at most 64 x 64).
  kSnapshotTileTextures = 200,
};
