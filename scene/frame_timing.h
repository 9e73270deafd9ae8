#pragma once
// The frame's two time gates on the wrapping 32-bit millisecond clock.
// Both differences are unsigned, so they stay right across the wrap.
// Pure logic: no platform headers.
#include <stdint.h>

// The eyes are shown while the last seen mouse move is under 1000 ms old.
bool eyesVisible(uint32_t now, uint32_t lastMouseMoveTime);

// Frames are presented only once more than 3000 ms have passed since the
// hold-back period started (render-loop start, end of a password check).
bool holdBackOver(uint32_t now, uint32_t startTime);
