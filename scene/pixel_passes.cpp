#include "scene/pixel_passes.h"

void convertPicturePixels(unsigned char* pixels, long pixelCount) {
  for (long i = 0; i < pixelCount; ++i, pixels += 4) {
    unsigned char blue = pixels[0];
    pixels[0] = pixels[2];
    pixels[2] = blue;
    bool black = pixels[0] == 0 && pixels[1] == 0 && pixels[2] == 0;
    pixels[3] = black ? 0 : 255;
  }
}
