// Power-of-two texture sizes. The picture's sizes are computed in double
// precision through the natural logarithm, so they match the log/floor
// arithmetic exactly where a value sits on a power of two; the snapshot's
// are found by doubling, which needs no rounding at all.
#include "scene/texture_sizes.h"

#include <math.h>

namespace {

const int kSmallestMaximum = 64;  // texels: every GL takes textures this large
// A stretch this short is not cut further: tiles of a few rows would cost
// more calls than their padding costs texels.
const int kShortestPiece = 64;

int powerOfTwoAtLeast(int pixels) {
  int power = 1;
  while (power < pixels) power *= 2;
  return power;
}

// Cuts one axis of `pixels` into pieces of at most `largest` texels (a
// power of two). Each piece's texture is the smallest power of two that
// holds what is left, unless that would pad the axis by more than an eighth
// of its length: then the piece is the largest power of two that fits, and
// the rest is cut again. Returns the count, 0 when there would be too many.
int cutAxis(int pixels, int largest, SnapshotPiece* pieces) {
  const int slack = pixels / 8;
  int count = 0;
  int start = 0;
  while (start < pixels) {
    if (count == kMostSnapshotPieces) return 0;
    int left = pixels - start;
    int texture = largest;
    if (left < largest) {
      texture = powerOfTwoAtLeast(left);
      if (texture - left > slack && left > kShortestPiece) texture /= 2;
    }
    int length = left < texture ? left : texture;
    SnapshotPiece piece = {start, length, texture};
    pieces[count++] = piece;
    start += length;
  }
  return count;
}

}  // namespace

SnapshotTiles snapshotTiles(int width, int height, int largestTexture) {
  int largest = kSmallestMaximum;
  while (largest <= largestTexture / 2) largest *= 2;
  SnapshotTiles tiles = {};
  tiles.columns = cutAxis(width, largest, tiles.across);
  tiles.rows = cutAxis(height, largest, tiles.down);
  if (tiles.columns == 0 || tiles.rows == 0) tiles.columns = tiles.rows = 0;
  return tiles;
}

int snapshotTileCount(const SnapshotTiles& tiles) { return tiles.columns * tiles.rows; }

SnapshotTile snapshotTile(const SnapshotTiles& tiles, int index) {
  const SnapshotPiece& across = tiles.across[index % tiles.columns];
  const SnapshotPiece& down = tiles.down[index / tiles.columns];
  SnapshotTile tile;
  tile.x = across.start;
  tile.y = down.start;
  tile.width = across.length;
  tile.height = down.length;
  tile.textureWidth = across.texture;
  tile.textureHeight = down.texture;
  tile.right = static_cast<float>(across.length) / static_cast<float>(across.texture);
  tile.top = static_cast<float>(down.length) / static_cast<float>(down.texture);
  return tile;
}

int pictureAxisTextureSize(int pixels, int maximum) {
  if (pixels > maximum) return maximum;
  return static_cast<int>(
      pow(2.0, floor(log(static_cast<double>(pixels)) / log(2.0) + 0.5)));
}
