#include "scene/frame_timing.h"

namespace {

const uint32_t kMouseMoveWindow = 1000;  // ms
const uint32_t kHoldBack = 3000;         // ms

}  // namespace

bool eyesVisible(uint32_t now, uint32_t lastMouseMoveTime) {
  return now - lastMouseMoveTime < kMouseMoveWindow;
}

bool holdBackOver(uint32_t now, uint32_t startTime) { return now - startTime > kHoldBack; }

namespace {

// True when `time` has come: `now` is at or after it on the wrapping clock.
bool reached(uint32_t now, uint32_t time) { return static_cast<int32_t>(now - time) >= 0; }

uint32_t earlier(uint32_t wait, uint32_t other) { return other < wait ? other : wait; }

}  // namespace

FrameDecision decideFrame(const FrameSchedule& s) {
  FrameDecision draw = {true, 0};
  if (!holdBackOver(s.now, s.holdBackStart)) {
    FrameDecision hold = {false, s.holdBackStart + kHoldBack + 1 - s.now};
    return hold;
  }
  if (!s.holdBackFrameShown || s.damaged) return draw;

  bool eyes = eyesVisible(s.now, s.lastMouseMoveTime);
  // The frame that takes the eyes away again.
  if (s.lastFrameShowedEyes && !eyes) return draw;
  if (s.clockOn && s.clockSecondChanged) return draw;

  uint32_t wait = kWaitForever;
  if (eyes || s.fpsOn) {
    if (reached(s.now, s.nextPacedTime)) return draw;
    wait = s.nextPacedTime - s.now;
  }
  if (eyes) wait = earlier(wait, s.lastMouseMoveTime + kMouseMoveWindow - s.now);
  if (s.clockOn) wait = earlier(wait, s.untilNextSecond == 0 ? 1 : s.untilNextSecond);
  FrameDecision sleep = {false, wait};
  return sleep;
}

uint32_t pacedFrameTime(uint32_t anchor, uint32_t index, uint32_t rateHz) {
  if (rateHz == 0) rateHz = 1;
  uint64_t offset = static_cast<uint64_t>(index) * 1000u / rateHz;
  return anchor + static_cast<uint32_t>(offset);
}

void advancePace(FramePace* pace, uint32_t now, uint32_t rateHz) {
  uint32_t slotAfterNext = pacedFrameTime(pace->anchor, pace->index + 1, rateHz);
  if (reached(now, slotAfterNext)) {
    pace->anchor = now;
    pace->index = 1;
  } else {
    ++pace->index;
  }
  pace->next = pacedFrameTime(pace->anchor, pace->index, rateHz);
}
