#include "scene/gl_choices.h"

double perspectiveAspect(int width, int height) {
  return static_cast<double>(width) / static_cast<double>(height);
}
