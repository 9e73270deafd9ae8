// Power-of-two texture sizes. The picture's sizes are computed in double
// precision through the natural logarithm, so they match the log/floor
// arithmetic exactly where a value sits on a power of two; the snapshot's
// are found by doubling, which needs no rounding at all.
#include "scene/texture_sizes.h"

#include <math.h>

namespace {

const int kSmallestMaximum = 64;  // texels: every GL takes textures this large

struct AxisLayout {
  int texture;
  int copy;
};

// One axis of the snapshot: the smallest power of two not below `pixels`
// when the GL allows it, else the largest power of two it allows, filled
// by a scaled copy.
AxisLayout snapshotAxis(int pixels, int maximum) {
  if (pixels < 1) pixels = 1;
  int largest = 1;
  while (largest <= maximum / 2) largest *= 2;
  int texture = 1;
  while (texture < pixels && texture < largest) texture *= 2;
  AxisLayout axis = {texture, pixels < texture ? pixels : texture};
  return axis;
}

}  // namespace

SnapshotLayout snapshotLayout(int width, int height, int maxTextureSize) {
  int maximum = maxTextureSize < kSmallestMaximum ? kSmallestMaximum : maxTextureSize;
  AxisLayout across = snapshotAxis(width, maximum);
  AxisLayout down = snapshotAxis(height, maximum);
  SnapshotLayout layout;
  layout.textureWidth = across.texture;
  layout.textureHeight = down.texture;
  layout.copyWidth = across.copy;
  layout.copyHeight = down.copy;
  layout.scaled = across.copy != width || down.copy != height;
  layout.right = static_cast<float>(across.copy) / static_cast<float>(across.texture);
  layout.top = static_cast<float>(down.copy) / static_cast<float>(down.texture);
  return layout;
}

int pictureAxisTextureSize(int pixels, int maximum) {
  if (pixels > maximum) return maximum;
  return static_cast<int>(
      pow(2.0, floor(log(static_cast<double>(pixels)) / log(2.0) + 0.5)));
}
