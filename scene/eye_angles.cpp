#include "scene/eye_angles.h"

namespace {

const float kBaseAboutY = 45.0f;   // degrees
const float kBaseAboutX = 120.0f;  // degrees
const float kCursorDivisor = 10.0f;  // pixels per degree

}  // namespace

EyeAngles eyeAnglesFor(int cursorX, int cursorY) {
  float yaw = -(static_cast<float>(cursorX) / kCursorDivisor);
  float pitch = -(static_cast<float>(cursorY) / kCursorDivisor);
  EyeAngles angles;
  angles.aboutY = kBaseAboutY + yaw;
  angles.aboutX = kBaseAboutX + pitch;
  return angles;
}
