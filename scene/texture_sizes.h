#pragma once
// Texture sizes for the two pictures the scene uploads. Pure logic: no
// platform headers, so the unit tests build it natively.

// The frozen desktop is cut into a grid of tiles, one texture each, so that
// every screen pixel is exactly one texel on any GL: no tile is larger than
// the GL's largest texture, and each tile's texture is, per axis, a power of
// two (all a 1.1 GL takes) holding the tile in its bottom-left corner. The
// screen is cut where one texture would be mostly padding, too: a 2160-row
// screen gets a 2048-row and a 128-row tile instead of one 4096-row
// texture that is half empty.
const int kMostSnapshotPieces = 64;  // per axis: 32768 pixels at 1024 texels a side

// One stretch of the screen along one axis, and its texture's side.
struct SnapshotPiece {
  int start;    // pixels from the screen's left (or top) edge
  int length;   // pixels, which are also its texels
  int texture;  // texels, a power of two, not below length
};

// Column c and row r make the tile of index r * columns + c, counted from
// the screen's top-left corner.
struct SnapshotTiles {
  int columns;  // 0 when the screen needs more than kMostSnapshotPieces
  int rows;     // per axis on this GL, and then nothing is to be uploaded
  SnapshotPiece across[kMostSnapshotPieces];  // left to right
  SnapshotPiece down[kMostSnapshotPieces];    // top to bottom
};

// One tile: where it lies on the screen and where in its texture. Texture
// row 0 is the tile's bottom row, the order of a bottom-up DIB, so t runs
// from 0 at the tile's bottom edge to `top` at its top edge.
struct SnapshotTile {
  int x;              // screen pixels from the left edge
  int y;              // screen pixels from the top edge
  int width;          // pixels, which are also its texels
  int height;
  int textureWidth;   // texels, powers of two
  int textureHeight;
  float right;        // s at the tile's right edge: width / textureWidth
  float top;          // t at the tile's top edge: height / textureHeight
};

// The tiles of a screen of width x height pixels on a GL whose largest
// texture side is largestTexture texels (GL_MAX_TEXTURE_SIZE, and the
// viewport's limit where that is smaller; at least the 64 every GL
// guarantees is assumed).
SnapshotTiles snapshotTiles(int width, int height, int largestTexture);

// Tiles in the grid: columns x rows.
int snapshotTileCount(const SnapshotTiles& tiles);

// The tile of that index, 0 to snapshotTileCount - 1.
SnapshotTile snapshotTile(const SnapshotTiles& tiles, int index);

// Texture size along one axis of a picture that is `pixels` wide (or high):
// `maximum` when the picture is larger than that, otherwise the power of two
// nearest on a logarithmic scale (the geometric midpoint rounds up). The two
// axes are sized independently, so a picture may get a non-square texture.
int pictureAxisTextureSize(int pixels, int maximum);
