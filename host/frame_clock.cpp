#include "host/frame_clock.h"

namespace {

uint32_t earlier(uint32_t wait, uint32_t other) { return other < wait ? other : wait; }

}  // namespace

bool eyesVisible(uint32_t now, uint32_t lastMouseMoveTime) {
  return now - lastMouseMoveTime < kMouseMoveWindow;
}

uint32_t pacedFrameTime(uint32_t anchor, uint32_t index, uint32_t rateHz) {
  if (rateHz == 0) rateHz = 1;
  uint64_t offset = static_cast<uint64_t>(index) * 1000u / rateHz;
  return anchor + static_cast<uint32_t>(offset);
}

void advancePace(FramePace* pace, uint32_t now, uint32_t rateHz) {
  if (rateHz == 0) rateHz = 1;
  // Offsets from the anchor, which stays within about a second of now, so
  // they compare right at any clock value.
  uint32_t sinceAnchor = now - pace->anchor;
  uint32_t slotAfterNext = pacedFrameTime(0, pace->index + 1, rateHz);
  if (sinceAnchor >= slotAfterNext) {
    pace->anchor = now;
    pace->index = 1;
  } else {
    ++pace->index;
    // A whole second of slots is exactly 1000 ms: move the anchor on by it,
    // so a run may last longer than the clock's cycle.
    if (pace->index >= rateHz) {
      pace->anchor += 1000u;
      pace->index -= rateHz;
    }
  }
  pace->next = pacedFrameTime(pace->anchor, pace->index, rateHz);
}

WallSecond wallSecondAt(uint64_t ticks100ns) {
  uint64_t milliseconds = ticks100ns / 10000u;
  WallSecond wall = {static_cast<long long>(milliseconds / 1000u),
                     1000u - static_cast<uint32_t>(milliseconds % 1000u)};
  return wall;
}

void FrameClock::start(const FrameClockSettings& chosen, uint32_t now) {
  *this = FrameClock();
  settings = chosen;
  holdBackStart = now;
}

void FrameClock::mouseMoved(uint32_t now) {
  mouseMoveSeen = true;
  lastMouseMove = now;
}

void FrameClock::windowDamaged() { damaged = true; }

void FrameClock::passwordCheckEnded(uint32_t now) {
  holdBackStart = now;
  holdBackPassed = false;
  framePresented = false;
  paceRunning = false;
}

void FrameClock::displaysOff() { displaysDark = true; }

void FrameClock::displaysOn() {
  if (!displaysDark) return;
  displaysDark = false;
  // Frames went unseen in the dark: the first one back counts afresh, as
  // after a hold-back, and nothing paced is owed from before.
  framePresented = false;
  paceRunning = false;
}

void FrameClock::displaysChanged(uint32_t now) {
  relayoutPending = true;
  displayChangedAt = now;
}

void FrameClock::relaidOut() {
  relayoutPending = false;
  damaged = true;
}

FrameStep FrameClock::next(uint32_t now, WallSecond wall) {
  FrameStep step = {};
  // A pending layout caps every wait; once its burst has settled it comes
  // before any frame, so no frame is drawn for monitors that are gone.
  uint32_t untilRelayout = kWaitForever;
  if (relayoutPending) {
    uint32_t settled = now - displayChangedAt;
    if (settled >= kDisplaySettleMs) {
      step.relayout = true;
      return step;
    }
    untilRelayout = kDisplaySettleMs - settled;
  }
  step.waitMs = untilRelayout;
  if (displaysDark) return step;
  if (!holdBackPassed) {
    uint32_t elapsed = now - holdBackStart;
    if (elapsed <= kHoldBack) {
      step.waitMs = earlier(untilRelayout, kHoldBack + 1 - elapsed);
      return step;
    }
    holdBackPassed = true;
  }

  if (mouseMoveSeen && !eyesVisible(now, lastMouseMove)) mouseMoveSeen = false;
  step.eyes = mouseMoveSeen;
  bool paced = step.eyes || settings.fpsOn;
  // A pause in the paced frames: the next run starts from its first frame.
  if (!paced) paceRunning = false;
  step.fineTimer = paced;
  step.restartFpsPeriod = !framePresented;

  step.draw = true;
  step.waitMs = 0;
  if (!framePresented || damaged) return step;
  // The frame that takes the eyes away again.
  if (lastFrameShowedEyes && !step.eyes) return step;
  if (settings.clockOn && (!clockSecondDrawn || wall.second != clockSecond)) return step;
  // The pace is read as offsets from its anchor, a second or less ago while
  // it runs, so even a process that was frozen for weeks (the machine
  // slept) finds its frame due on waking rather than days away.
  uint32_t sinceAnchor = now - pace.anchor;
  uint32_t nextAfterAnchor = pace.next - pace.anchor;
  if (paced && (!paceRunning || sinceAnchor >= nextAfterAnchor)) return step;

  step.draw = false;
  step.waitMs = untilRelayout;
  if (paced) step.waitMs = earlier(step.waitMs, nextAfterAnchor - sinceAnchor);
  if (step.eyes) step.waitMs = earlier(step.waitMs, lastMouseMove + kMouseMoveWindow - now);
  if (settings.clockOn) step.waitMs = earlier(step.waitMs, wall.untilNext == 0 ? 1 : wall.untilNext);
  return step;
}

void FrameClock::frameDrawn(const FrameStep& step, uint32_t now, WallSecond wall) {
  framePresented = true;
  damaged = false;
  lastFrameShowedEyes = step.eyes;
  clockSecondDrawn = true;
  clockSecond = wall.second;
  bool paced = step.eyes || settings.fpsOn;
  if (!paced) return;
  if (paceRunning) {
    advancePace(&pace, now, settings.refreshRate);
  } else {
    pace.anchor = now;
    pace.index = 1;
    pace.next = pacedFrameTime(now, 1, settings.refreshRate);
    paceRunning = true;
  }
}

void GlRecovery::lost(uint32_t now) {
  if (lossRunning) return;
  lossRunning = true;
  lostAt = now;
  triedOnce = false;
}

void GlRecovery::resumed(uint32_t now) {
  if (!lossRunning) return;
  lostAt = now;
  triedOnce = false;
}

void GlRecovery::attempted(uint32_t now) {
  triedOnce = true;
  triedAt = now;
}

void GlRecovery::presented() { lossRunning = false; }

RebuildStep GlRecovery::next(uint32_t now) const {
  RebuildStep step = {};
  uint32_t sinceLoss = lossRunning ? now - lostAt : 0;
  if (sinceLoss >= kRebuildGiveUpMs) {
    step.giveUp = true;
    return step;
  }
  uint32_t sinceTry = now - triedAt;
  if (!lossRunning || !triedOnce || sinceTry >= kRebuildRetryMs) {
    step.rebuild = true;
    return step;
  }
  step.waitMs = earlier(kRebuildRetryMs - sinceTry, kRebuildGiveUpMs - sinceLoss);
  return step;
}
