#pragma once
// The frame's time gates and the render loop's schedule on the wrapping
// 32-bit millisecond clock. Differences are taken unsigned, so they stay
// right across the wrap. Pure logic: no platform headers.
#include <stdint.h>

// The eyes are shown while the last seen mouse move is under 1000 ms old.
bool eyesVisible(uint32_t now, uint32_t lastMouseMoveTime);

// Frames are presented only once more than 3000 ms have passed since the
// hold-back period started (render-loop start, end of a password check).
bool holdBackOver(uint32_t now, uint32_t startTime);

// What the render loop knows when it decides whether a frame is due. Times
// are timeGetTime milliseconds; the wall clock's second is the one the
// clock text shows.
struct FrameSchedule {
  uint32_t now;
  uint32_t holdBackStart;      // render-loop start or end of a password check
  bool holdBackFrameShown;     // a frame was presented since the hold-back began
  uint32_t lastMouseMoveTime;
  bool lastFrameShowedEyes;
  bool damaged;                // the window was asked to repaint (WM_PAINT)
  bool clockOn;
  bool clockSecondChanged;     // the wall clock's second is not the one drawn
  uint32_t untilNextSecond;    // ms until the wall clock's next second, 1..1000
  bool fpsOn;
  uint32_t nextPacedTime;      // when the next frame at the display's rate is due
};

enum : uint32_t { kWaitForever = 0xFFFFFFFFu };

struct FrameDecision {
  bool drawNow;
  uint32_t waitMs;  // when not drawing: how long nothing is due; kWaitForever
};

// Decides whether a frame is due now, and if not, how long the loop may
// sleep (a message wakes it earlier). A frame is due: once when the
// hold-back ends; on damage; at the display's rate while the eyes are up or
// the FPS counter is on; once right after the eyes go; when the clock's
// second changes. Nothing is drawn during the hold-back.
FrameDecision decideFrame(const FrameSchedule& schedule);

// When frame number `index` after `anchor` is due at `rateHz` frames a
// second: whole milliseconds, the fractions spread evenly, so 60 Hz gives
// exactly 60 frames in every second rather than 62 or 58.
uint32_t pacedFrameTime(uint32_t anchor, uint32_t index, uint32_t rateHz);

// The cadence of frames at the display's rate.
struct FramePace {
  uint32_t anchor;  // when the current run of paced frames began
  uint32_t index;   // frames due since the anchor
  uint32_t next;    // when the next one is due
};

// Moves the cadence on after a frame drawn at `now`. A frame on time takes
// the next slot; one a whole frame or more late (the first after a pause,
// or after a slow frame) starts a new run from itself, so the loop never
// hurries to catch up.
void advancePace(FramePace* pace, uint32_t now, uint32_t rateHz);
