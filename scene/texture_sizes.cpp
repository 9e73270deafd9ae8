// Power-of-two texture sizes, computed in double precision through the
// natural logarithm and truncated, so the results match the log/floor
// arithmetic exactly where a value sits on a power of two.
#include "scene/texture_sizes.h"

#include <math.h>

namespace {

const int kMinimumSnapshotSize = 1024;  // pixels per side

}  // namespace

int snapshotTextureSize(int width, int height) {
  int longer = width > height ? width : height;
  if (longer < kMinimumSnapshotSize) return kMinimumSnapshotSize;
  return static_cast<int>(pow(2.0, floor(log(static_cast<double>(longer)) / log(2.0))));
}

int pictureAxisTextureSize(int pixels, int maximum) {
  if (pixels > maximum) return maximum;
  return static_cast<int>(
      pow(2.0, floor(log(static_cast<double>(pixels)) / log(2.0) + 0.5)));
}
