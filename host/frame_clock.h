#pragma once
// What the render loop does next, decided on the wrapping 32-bit
// millisecond clock (timeGetTime's kind). A PC counts that clock from boot
// through sleep and fast start-up, so it may stand anywhere in its 49.7-day
// cycle when the saver starts, and may come round while it runs: every rule
// here compares differences of two readings, and nothing stands for "never"
// by a time value. Pure logic: no platform headers.
#include <stdint.h>

// How long the eyes stay after a mouse move, and how long frames are held
// back after the loop starts or a password check ends.
const uint32_t kMouseMoveWindow = 1000;  // ms
const uint32_t kHoldBack = 3000;         // ms

// The eyes are shown while the last seen mouse move is under 1000 ms old.
bool eyesVisible(uint32_t now, uint32_t lastMouseMoveTime);

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
// the next slot; one a whole frame or more late (after a slow frame) starts
// a new run from itself, so the loop never hurries to catch up. The anchor
// moves on by each whole second, so it stays within one of `now`.
void advancePace(FramePace* pace, uint32_t now, uint32_t rateHz);

// The wall clock's second as the clock text shows it, and the milliseconds
// until the next one (1..1000), from a system time in 100 ns units.
struct WallSecond {
  long long second;
  uint32_t untilNext;
};
WallSecond wallSecondAt(uint64_t ticks100ns);

enum : uint32_t { kWaitForever = 0xFFFFFFFFu };

// The answer to "what now?": draw a frame, or sleep (a message wakes the
// loop earlier).
struct FrameStep {
  bool draw;
  uint32_t waitMs;        // when not drawing: how long nothing is due, or kWaitForever
  bool eyes;              // the frame shows the eyes
  bool restartFpsPeriod;  // the first frame after a hold-back: the count starts afresh
  bool fineTimer;         // frames are paced, so sleeps must end on the millisecond
  bool relayout;          // the monitors changed and have settled: measure them again now
};

struct FrameClockSettings {
  uint32_t refreshRate;  // Hz of the display mode
  bool clockOn;
  bool fpsOn;
};

// The render loop's state. A frame is due: once when the hold-back ends; on
// damage; at the display's rate while the eyes are up or the counter is on;
// once right after the eyes go; when the clock's second changes. Nothing is
// drawn during a hold-back, nor while the displays are off. Changes of the
// monitors come in bursts (a mode change, a monitor waking from sleep and
// rejoining the desktop): the layout follows once none has come for
// kDisplaySettleMs.
enum : uint32_t { kDisplaySettleMs = 500 };

struct FrameClock {
  // The loop starts: the first hold-back begins at `now`.
  void start(const FrameClockSettings& chosen, uint32_t now);
  void mouseMoved(uint32_t now);
  void windowDamaged();
  // A refused password: the frames are held back again from `now`.
  void passwordCheckEnded(uint32_t now);
  // The system turned the displays off: no frames, no paced wake-ups.
  void displaysOff();
  // The displays are on again, or dimmed: the whole window is drawn at once
  // and the counter starts a new count.
  void displaysOn();
  // The monitors changed at `now` (mode, count, arrangement, resume).
  void displaysChanged(uint32_t now);
  // The loop measured the monitors again, as a step asked: the next frame
  // draws the whole window.
  void relaidOut();
  // Asked once per pass of the loop. Not const: the passing of the hold-back
  // and of the eyes' second is noted here for good, so neither comes back
  // when the clock comes round again.
  FrameStep next(uint32_t now, WallSecond wall);
  // The frame `step` asked for was drawn from readings taken at `now`.
  void frameDrawn(const FrameStep& step, uint32_t now, WallSecond wall);

  FrameClockSettings settings = {};
  uint32_t holdBackStart = 0;
  bool holdBackPassed = false;      // once true, stays true until the next hold-back
  bool framePresented = false;      // a frame was shown since the hold-back passed
  bool damaged = false;             // the window was asked to repaint since the last frame
  bool mouseMoveSeen = false;       // lastMouseMove is under a second old, as far as known
  uint32_t lastMouseMove = 0;
  bool lastFrameShowedEyes = false;
  bool paceRunning = false;         // `pace` holds the current run of paced frames
  FramePace pace = {};
  bool clockSecondDrawn = false;    // `clockSecond` holds the second last drawn
  long long clockSecond = 0;
  bool displaysDark = false;        // the system turned the displays off
  bool relayoutPending = false;     // displayChangedAt holds the last change not yet followed
  uint32_t displayChangedAt = 0;
};

// A lost GL (a failed present, a driver reset, a resume) is made again at
// once. Right after a resume the displays may not be back yet, so a rebuild
// that fails, or whose first present fails, is tried again every
// kRebuildRetryMs, and given up kRebuildGiveUpMs after the loss.
enum : uint32_t { kRebuildRetryMs = 1000, kRebuildGiveUpMs = 10000 };

// What the loop does about a lost GL now.
struct RebuildStep {
  bool rebuild;     // try now
  bool giveUp;      // the GL stayed lost too long: end
  uint32_t waitMs;  // neither: until the next try, or a message
};

struct GlRecovery {
  // The GL was found lost at `now`; the time allowed runs from the first
  // loss until a frame is presented again.
  void lost(uint32_t now);
  // The system resumed at `now`: a loss that was running before the sleep
  // gets the whole time again.
  void resumed(uint32_t now);
  void attempted(uint32_t now);
  // A frame reached the screen: the GL works.
  void presented();
  RebuildStep next(uint32_t now) const;

  bool lossRunning = false;  // lostAt holds the start of a loss not yet over
  uint32_t lostAt = 0;
  bool triedOnce = false;    // triedAt holds this loss's last rebuild
  uint32_t triedAt = 0;
};
