#include "scene/frame_timing.h"

namespace {

const uint32_t kMouseMoveWindow = 1000;  // ms
const uint32_t kHoldBack = 3000;         // ms

}  // namespace

bool eyesVisible(uint32_t now, uint32_t lastMouseMoveTime) {
  return now - lastMouseMoveTime < kMouseMoveWindow;
}

bool holdBackOver(uint32_t now, uint32_t startTime) { return now - startTime > kHoldBack; }
