#pragma once
// Texture sizes for the two pictures the scene uploads. Pure logic: no
// platform headers, so the unit tests build it natively.

// Where the frozen desktop goes in its texture. The texture is, per axis,
// the smallest power of two that holds the screen's side, so the screen is
// copied 1:1 into its bottom-left corner (bottom-up rows: the screen's
// bottom row is texture row 0) and each screen pixel shows exactly one
// texel. An axis longer than the GL's largest texture gets the largest
// power of two allowed, and the copy is scaled down into the whole of it.
struct SnapshotLayout {
  int textureWidth;   // texels, a power of two
  int textureHeight;
  int copyWidth;      // texels the screen fills, from texel (0, 0)
  int copyHeight;
  bool scaled;        // the copy is not 1:1: smooth it and sample linearly
  float right;        // s at the screen's right edge: copyWidth / textureWidth
  float top;          // t at the screen's top edge: copyHeight / textureHeight
};

// The layout for a screen of width x height pixels on a GL whose largest
// texture side is maxTextureSize texels (GL_MAX_TEXTURE_SIZE; at least the
// 64 every GL guarantees is assumed).
SnapshotLayout snapshotLayout(int width, int height, int maxTextureSize);

// Texture size along one axis of a picture that is `pixels` wide (or high):
// `maximum` when the picture is larger than that, otherwise the power of two
// nearest on a logarithmic scale (the geometric midpoint rounds up). The two
// axes are sized independently, so a picture may get a non-square texture.
int pictureAxisTextureSize(int pixels, int maximum);
