#include "scene/gl_choices.h"

namespace {

const unsigned char kDefaultDepthBits = 24;

}  // namespace

unsigned char pixelFormatDepthBits(int colorBits) {
  unsigned char requested = static_cast<unsigned char>(colorBits & 0xFF);
  return requested != 0 ? requested : kDefaultDepthBits;
}

double perspectiveAspect(int width, int height) {
  return static_cast<double>(width) / static_cast<double>(height);
}
